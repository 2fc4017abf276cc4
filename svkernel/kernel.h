// Records and kernel values of the support-vector kernel entries.
//
// Vectors are feature lists: (feature, value) pairs in increasing feature
// order, ended by an entry with feature 0.  Dot products accumulate in
// single precision in list order; the kernel functions run in double and
// the value is rounded to single.  These records are plain data: the entry
// side places them in host memory and fills them (svkernel/gram_entry.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace svkernel {

// Kernel type codes of a model's kernel_parm.
enum KernelType : int32_t { KERNEL_LINEAR = 0, KERNEL_POLY = 1, KERNEL_RBF = 2, KERNEL_SIGMOID = 3, KERNEL_CUSTOM = 4 };

// Capacity of kernel_parm.custom, terminator included.
constexpr int CUSTOM_CAPACITY = 128;

struct feature_entry {
  int32_t feature;  // 1-based; 0 ends the list
  float value;
};

struct sparse_vector {
  feature_entry* entries;  // private copy of the list, terminator included
  double sq_norm;          // sparseDot of the vector with itself, widened
  char* text;              // caller's text (always empty here)
  int32_t id;              // always 0
  sparse_vector* next;     // always none
  double factor;           // always 1.0
};

struct example {
  int32_t row;     // 0-based row of the source matrix
  int32_t group;   // always 0
  int32_t slack;   // always 0
  double cost;     // always 1.0
  sparse_vector* vec;
};

struct kernel_parm {
  int32_t kernel_type;
  int32_t poly_degree;
  double rbf_gamma;
  double coef_lin;
  double coef_const;
  char custom[CUSTOM_CAPACITY];
};

struct sv_model {
  int32_t sv_num;
  int32_t upper_bound;
  double b;
  example** supvec;           // one per row of the model's supvec, or none
  const double* alpha;        // view of host data, or none
  int32_t* index;             // or none
  int32_t totwords;
  int32_t totdoc;
  kernel_parm kernel;
  double loo_error;
  double loo_recall;
  double xa_error;
  double xa_recall;
  double xa_precision;
  const double* lin_weights;  // view of host data, or none
  double maxdiff;
  double r_delta_sq;
  double r_delta_avg;
  double model_length;
  double loss;
  double vcdim;
};

// A double truncated toward zero into int32.  NaN and values outside the
// int32 range give INT32_MIN (what the processor's truncating conversion
// yields), so a nonsense kernel type stays an unknown one.
int32_t truncToInt32(double v);

// Dot product of two feature lists: a merge over features, summing in
// single precision in list order.
float sparseDot(const feature_entry* a, const feature_entry* b);

// True for the kernel types 0..4.
bool kernelKnown(int32_t kernel_type);

// The kernel function applied to a dot product s of vectors whose squared
// norms are sq_a (first vector) and sq_b (second).  kernel_type must be known.
float applyKernel(const kernel_parm& p, float s, double sq_a, double sq_b);

// Kernel value of a (first) and b (second).  kernel_type must be known.
float evalKernel(const kernel_parm& p, const sparse_vector& a, const sparse_vector& b);

// Column-major position i + rows*j of an element of a rows × cols matrix,
// in 64-bit arithmetic; -1 when it is not below rows*cols.
int64_t checkedIndex(int64_t rows, int64_t cols, int64_t i, int64_t j);

// Square Gram matrix of M dense vectors of N features.
//
// The vectors travel packed: rows are grouped in blocks of GRAM_BLOCK, and
// block b holds, feature by feature, the GRAM_BLOCK values of its rows
// (packed[(b*N + k)*GRAM_BLOCK + l] is feature k of row b*GRAM_BLOCK + l; the
// rows past M are zero).  sq holds each row's squared norm as the feature
// lists give it.  K (M × M, column-major) receives K(i, j) = the kernel of
// row i (first) and row j (second), bit for bit what evalKernel gives on the
// rows' feature lists, whatever the number of threads.  Runs on up to
// `threads` threads; plain memory only.
constexpr int32_t GRAM_BLOCK = 16;
size_t gramPackedFloats(int32_t M, int32_t N);
void packRows(const example* const* rows, int32_t M, int32_t N, float* packed, double* sq);
void gramDense(const kernel_parm& p, const float* packed, const double* sq, int32_t M, int32_t N, double* K,
               int threads);

// Threads worth using for a Gram matrix of this size on this machine.
int gramThreads(int32_t M, int32_t N);

// The radial and polynomial kernel functions on many arguments at once, as
// the Gram matrix uses them: out[i] = static_cast<float>(std::exp(x[i])) and
// static_cast<float>(std::pow(x[i], degree)), bit for bit, computed in
// vector lanes where that provably gives the runtime's float (lanes.h).
void expToFloat(const double* x, float* out, size_t n);
void powToFloat(const double* x, int32_t degree, float* out, size_t n);

}  // namespace svkernel
