// Plain C++ side of training: liblinear-train's option text, the checks of
// the labels, and training or cross-validation through liblinear's C API
// from the generator state liblinear-train starts with.  Knows nothing of
// the host.
#pragma once

#include <linear.h>

#include <cstddef>
#include <vector>

#include "linmodel/instances.h"
#include "linmodel/scoring.h"

namespace linmodel {

// Class weights (-wi) one option text may give.
constexpr int MAX_CLASS_WEIGHTS = 1024;

// What an option text asks for, with liblinear-train's defaults.  Plain
// data: it owns no memory.
struct TrainOptions {
  int solver = L2R_L2LOSS_SVC_DUAL;  // -s
  double C = 1;                      // -c
  double p = 0.1;                    // -p
  double eps = 0;                    // -e, when eps_given
  bool eps_given = false;            // else the solver's default
  double bias = -1;                  // -B
  int folds = 0;                     // -v; 0: train a model
  bool quiet = false;                // -q
  int nr_weight = 0;                 // -wi, in the order given
  int weight_label[MAX_CLASS_WEIGHTS];
  double weight[MAX_CLASS_WEIGHTS];
};

// Parses liblinear-train's options (-s, -c, -p, -e, -B, -wi, -v, -q),
// separated by white space, reading the real values in single precision as
// liblinear-train does.  Stricter than liblinear-train: a value must be a
// whole number (-s, -v, the i of -wi) or a finite number, -v at least 2,
// and every token an option or its value.  Returns null, or the reason
// written into `error`.
const char* parse_train_options(const char* text, TrainOptions* options, char* error, size_t error_size);

// The stopping tolerance liblinear-train takes for a solver when -e is not
// given.
double default_eps(int solver);

bool is_regression_solver(int solver);

// Index of the first label that liblinear cannot take, or n when all can:
// every label finite, and for classification a whole number in int range
// (liblinear groups the classes by the label's int value).
size_t first_bad_label(const double* y, size_t n, bool regression);

// The first class weight (-wi) whose label i no training label has, or -1.
// liblinear ignores such a weight with a note on the standard error stream;
// the entry warns and removes it (remove_weight) before training.
int first_unknown_weight(const TrainOptions& options, const double* y, size_t n);
void remove_weight(TrainOptions* options, int k);

// Memory liblinear's training takes besides the problem, about (an upper
// estimate): the weights of every class and the solvers' work arrays per
// feature and per instance, and for the L1 solvers a transposed copy of
// the problem.  liblinear does not check its allocations, so a training
// that could not get this much would end the host: the entry refuses it
// first, when it exceeds the physical memory or one block of that size
// cannot be had (can_allocate).  `classes` is count_classes of the labels.
double training_bytes(size_t instances, size_t features, size_t stored, int classes, int solver);
int count_classes(const double* y, size_t n);
bool can_allocate(double bytes);

// The training problem over instances with these labels; `x` points into
// `lists`, which must outlive it.  `features` is the data's feature count:
// with a bias (bias >= 0) liblinear sees one feature more.
struct Problem {
  NodeLists lists;
  std::vector<feature_node*> x;
  problem prob{};
};
void make_problem(Problem* p, NodeLists lists, const double* y, size_t features, double bias);

// liblinear's parameter record for the options (weights pointing into them).
parameter parameter_of(TrainOptions* options);

// Where liblinear's progress lines go: null drops them.
using PrintFunction = void (*)(const char*);

// Trains a model, or with options.folds cross-validates and returns the
// accuracy in percent (classification) or the mean squared error
// (regression), computed as liblinear-train does.  Both run with liblinear's
// print function set to `print` (or to one that drops the lines) and the C
// library's rand() in the state liblinear-train starts with; afterwards the
// print function is liblinear's default again and, where the C library
// allows (glibc), the rand() state is the caller's, untouched.
// Neither allocates memory of its own (cross_validate writes the predicted
// labels into `target`, prob.l doubles) or throws: the print function may
// call the host.
ModelPtr train_model(const problem& prob, TrainOptions* options, PrintFunction print);
double cross_validate(const problem& prob, TrainOptions* options, PrintFunction print, double* target);

}  // namespace linmodel
