/* Stand-in host: the array and extension library operations that the
 * deliverables use, declared as MATLAB declares them (64-bit sizes, MATLAB's
 * class numbering).  The implementation lives in standin.cpp and is built as
 * the shared library libeegmex_standin.so; tests load a deliverable built
 * against it and call its mexFunction through standin.h. */
#ifndef EEGMEX_STANDIN_MEX_H
#define EEGMEX_STANDIN_MEX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray_tag mxArray;
typedef size_t mwSize;
typedef size_t mwIndex;
typedef ptrdiff_t mwSignedIndex;
typedef uint16_t mxChar;
typedef bool mxLogical;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

#if defined(__GNUC__)
#define EEGMEX_STANDIN_API __attribute__((visibility("default")))
#define EEGMEX_STANDIN_NORETURN __attribute__((noreturn))
#else
#define EEGMEX_STANDIN_API
#define EEGMEX_STANDIN_NORETURN
#endif

/* The extension's entry point, called by the host. */
void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

/* Creation, copy, destruction. */
EEGMEX_STANDIN_API mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag);
EEGMEX_STANDIN_API mxArray *mxCreateDoubleScalar(double value);
EEGMEX_STANDIN_API mxArray *mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID cls, mxComplexity flag);
EEGMEX_STANDIN_API mxArray *mxCreateUninitNumericMatrix(mwSize m, mwSize n, mxClassID cls, mxComplexity flag);
EEGMEX_STANDIN_API mxArray *mxCreateNumericArray(mwSize ndim, const mwSize *dims, mxClassID cls,
                                                 mxComplexity flag);
EEGMEX_STANDIN_API mxArray *mxCreateLogicalMatrix(mwSize m, mwSize n);
EEGMEX_STANDIN_API mxArray *mxCreateLogicalScalar(bool value);
EEGMEX_STANDIN_API mxArray *mxCreateString(const char *text);
EEGMEX_STANDIN_API mxArray *mxCreateCharArray(mwSize ndim, const mwSize *dims);
EEGMEX_STANDIN_API mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **names);
EEGMEX_STANDIN_API mxArray *mxCreateCellMatrix(mwSize m, mwSize n);
EEGMEX_STANDIN_API mxArray *mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag);
EEGMEX_STANDIN_API mxArray *mxDuplicateArray(const mxArray *a);
EEGMEX_STANDIN_API void mxDestroyArray(mxArray *a);

/* Data and shape. */
EEGMEX_STANDIN_API double *mxGetPr(const mxArray *a);
EEGMEX_STANDIN_API double *mxGetPi(const mxArray *a);
EEGMEX_STANDIN_API void *mxGetData(const mxArray *a);
EEGMEX_STANDIN_API void *mxGetImagData(const mxArray *a);
EEGMEX_STANDIN_API mxChar *mxGetChars(const mxArray *a);
EEGMEX_STANDIN_API mxLogical *mxGetLogicals(const mxArray *a);
EEGMEX_STANDIN_API size_t mxGetM(const mxArray *a);
EEGMEX_STANDIN_API size_t mxGetN(const mxArray *a);
EEGMEX_STANDIN_API size_t mxGetNumberOfElements(const mxArray *a);
EEGMEX_STANDIN_API mwSize mxGetNumberOfDimensions(const mxArray *a);
EEGMEX_STANDIN_API const mwSize *mxGetDimensions(const mxArray *a);
EEGMEX_STANDIN_API size_t mxGetElementSize(const mxArray *a);
EEGMEX_STANDIN_API double mxGetScalar(const mxArray *a);
EEGMEX_STANDIN_API mxClassID mxGetClassID(const mxArray *a);
EEGMEX_STANDIN_API const char *mxGetClassName(const mxArray *a);
EEGMEX_STANDIN_API mwIndex *mxGetIr(const mxArray *a);
EEGMEX_STANDIN_API mwIndex *mxGetJc(const mxArray *a);
EEGMEX_STANDIN_API mwSize mxGetNzmax(const mxArray *a);

/* Class tests. */
EEGMEX_STANDIN_API bool mxIsChar(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsStruct(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsCell(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsDouble(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsSingle(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsInt32(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsUint64(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsLogical(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsNumeric(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsSparse(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsComplex(const mxArray *a);
EEGMEX_STANDIN_API bool mxIsEmpty(const mxArray *a);

/* Text. */
EEGMEX_STANDIN_API int mxGetString(const mxArray *a, char *buf, mwSize buflen);
EEGMEX_STANDIN_API void mxGetNChars(const mxArray *a, char *buf, mwSize buflen);
EEGMEX_STANDIN_API char *mxArrayToString(const mxArray *a);

/* Structs and cells. */
EEGMEX_STANDIN_API mxArray *mxGetField(const mxArray *a, mwIndex index, const char *name);
EEGMEX_STANDIN_API mxArray *mxGetFieldByNumber(const mxArray *a, mwIndex index, int field);
EEGMEX_STANDIN_API int mxGetNumberOfFields(const mxArray *a);
EEGMEX_STANDIN_API const char *mxGetFieldNameByNumber(const mxArray *a, int field);
EEGMEX_STANDIN_API int mxGetFieldNumber(const mxArray *a, const char *name);
EEGMEX_STANDIN_API void mxSetField(mxArray *a, mwIndex index, const char *name, mxArray *value);
EEGMEX_STANDIN_API void mxSetFieldByNumber(mxArray *a, mwIndex index, int field, mxArray *value);
EEGMEX_STANDIN_API int mxAddField(mxArray *a, const char *name);
EEGMEX_STANDIN_API mxArray *mxGetCell(const mxArray *a, mwIndex index);
EEGMEX_STANDIN_API void mxSetCell(mxArray *a, mwIndex index, mxArray *value);

/* Host memory: reclaimed by the host when the call ends. */
EEGMEX_STANDIN_API void *mxMalloc(size_t n);
EEGMEX_STANDIN_API void *mxCalloc(size_t n, size_t size);
EEGMEX_STANDIN_API void *mxRealloc(void *p, size_t n);
EEGMEX_STANDIN_API void mxFree(void *p);

/* Messages and calls back into the host. */
EEGMEX_STANDIN_API EEGMEX_STANDIN_NORETURN void mexErrMsgTxt(const char *text);
EEGMEX_STANDIN_API EEGMEX_STANDIN_NORETURN void mexErrMsgIdAndTxt(const char *id, const char *fmt, ...);
EEGMEX_STANDIN_API void mexWarnMsgTxt(const char *text);
EEGMEX_STANDIN_API void mexWarnMsgIdAndTxt(const char *id, const char *fmt, ...);
EEGMEX_STANDIN_API int mexPrintf(const char *fmt, ...);
EEGMEX_STANDIN_API int mexCallMATLAB(int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[], const char *name);
EEGMEX_STANDIN_API const char *mexFunctionName(void);
/* Registers a function the host calls when it unloads the extension. */
EEGMEX_STANDIN_API int mexAtExit(void (*exit_fcn)(void));

#ifdef __cplusplus
}
#endif

#endif
