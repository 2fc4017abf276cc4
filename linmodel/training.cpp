#include "linmodel/training.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/physical_memory.h"

namespace linmodel {

namespace {

const char* const KNOWN_OPTIONS = "options are -s, -c, -p, -e, -B, -wi, -v and -q";

// The next token of `text` from `*pos` (white space separates tokens) into
// `token` (size characters with the terminator); false at the end.  A token
// too long for the buffer comes back empty, which no option or value is.
bool next_token(const char* text, size_t* pos, char* token, size_t size) {
  size_t i = *pos;
  while (text[i] && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (!text[i]) return false;
  size_t k = 0;
  for (; text[i] && !std::isspace(static_cast<unsigned char>(text[i])); ++i)
    if (k < size) token[k++] = text[i];
  token[k < size ? k : 0] = '\0';
  *pos = i;
  return true;
}

// A whole token as an int.
bool read_int(const char* s, int* out) {
  if (!*s) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (*end || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<int>(v);
  return true;
}

// liblinear-train reads its real-valued options (-c, -p, -e, -B and the
// weights of -wi) in single precision: "-c 0.3" trains with C =
// 0.30000001192092896.  The same rounding here gives the same model.
bool read_real(const char* s, double* out) {
  if (!*s) return false;
  char* end = nullptr;
  const float v = std::strtof(s, &end);
  if (*end || !std::isfinite(v)) return false;
  *out = static_cast<double>(v);
  return true;
}

const char* fail(char* error, size_t size, const char* fmt, const char* token) {
  std::snprintf(error, size, fmt, token);
  return error;
}

void print_nothing(const char*) {}

// liblinear's print function for the length of a call, then its default
// (standard output) again: no pointer into a module that may be unloaded
// is left behind.
struct PrintScope {
  explicit PrintScope(PrintFunction print) { set_print_string_function(print ? print : &print_nothing); }
  ~PrintScope() { set_print_string_function(nullptr); }
};

// liblinear's solvers, and the fold split of cross-validation, draw from the
// C library's rand().  liblinear-train never seeds it, so it trains from the
// generator's initial state, that of srand(1).  With glibc, rand() draws
// from random()'s state, which can be swapped: the call runs on a fresh
// state seeded with 1 (initstate; a state of glibc's default size gives the
// default sequence), and setstate hands the caller's state back untouched.
// Other C libraries cannot swap: there the generator is reseeded with
// srand(1) and left where the call leaves it.
class RandomScope {
 public:
  RandomScope() {
#if defined(__GLIBC__)
    saved_ = initstate(1, state_, sizeof state_);
#else
    std::srand(1);
#endif
  }
  ~RandomScope() {
#if defined(__GLIBC__)
    setstate(saved_);
#endif
  }
  RandomScope(const RandomScope&) = delete;
  RandomScope& operator=(const RandomScope&) = delete;

 private:
#if defined(__GLIBC__)
  alignas(8) char state_[128];
  char* saved_ = nullptr;
#endif
};

}  // namespace

const char* parse_train_options(const char* text, TrainOptions* o, char* error, size_t size) {
  char token[128], value[128];
  size_t pos = 0;
  while (next_token(text, &pos, token, sizeof token)) {
    if (token[0] != '-' || !token[1]) {
      std::snprintf(error, size, "\"%s\" is not an option: %s", token, KNOWN_OPTIONS);
      return error;
    }
    const char letter = token[1];
    if (letter == 'q' && !token[2]) {
      o->quiet = true;
      continue;
    }
    int label = 0;
    if (letter == 'w') {
      if (!read_int(token + 2, &label))
        return fail(error, size, "option \"%s\": -wi needs a whole-number class label i, as in -w1 2", token);
    } else if (token[2] || !std::strchr("scpeBv", letter)) {
      std::snprintf(error, size, "unknown option \"%s\": %s", token, KNOWN_OPTIONS);
      return error;
    }
    if (!next_token(text, &pos, value, sizeof value)) return fail(error, size, "option %s needs a value", token);
    bool ok = false;
    switch (letter) {
      case 's':
        ok = read_int(value, &o->solver);
        break;
      case 'v':
        ok = read_int(value, &o->folds) && o->folds >= 2;
        if (!ok) return fail(error, size, "-v %s: the number of folds must be a whole number of at least 2", value);
        break;
      case 'c':
        ok = read_real(value, &o->C);
        break;
      case 'p':
        ok = read_real(value, &o->p);
        break;
      case 'e':
        ok = o->eps_given = read_real(value, &o->eps);
        break;
      case 'B':
        ok = read_real(value, &o->bias);
        break;
      case 'w':
        if (o->nr_weight == MAX_CLASS_WEIGHTS) {
          std::snprintf(error, size, "at most %d class weights (-wi)", MAX_CLASS_WEIGHTS);
          return error;
        }
        ok = read_real(value, &o->weight[o->nr_weight]);
        if (ok) o->weight_label[o->nr_weight++] = label;
        break;
    }
    if (!ok) {
      std::snprintf(error, size, "option %s: \"%s\" is not a %s", token, value,
                    letter == 's' ? "whole number" : "finite number");
      return error;
    }
  }
  return nullptr;
}

double default_eps(int solver) {
  switch (solver) {
    case L2R_LR:
    case L2R_L2LOSS_SVC:
    case L1R_L2LOSS_SVC:
    case L1R_LR:
      return 0.01;
    case L2R_L2LOSS_SVR:
      return 0.0001;
    default:  // the dual solvers
      return 0.1;
  }
}

bool is_regression_solver(int solver) {
  return solver == L2R_L2LOSS_SVR || solver == L2R_L2LOSS_SVR_DUAL || solver == L2R_L1LOSS_SVR_DUAL;
}

size_t first_bad_label(const double* y, size_t n, bool regression) {
  for (size_t i = 0; i < n; ++i) {
    const double v = y[i];
    if (!std::isfinite(v)) return i;
    if (!regression && !(v == std::trunc(v) && v >= INT_MIN && v <= INT_MAX)) return i;
  }
  return n;
}

int first_unknown_weight(const TrainOptions& o, const double* y, size_t n) {
  for (int k = 0; k < o.nr_weight; ++k) {
    bool found = false;
    for (size_t i = 0; i < n && !found; ++i) found = static_cast<int>(y[i]) == o.weight_label[k];
    if (!found) return k;
  }
  return -1;
}

void remove_weight(TrainOptions* o, int k) {
  for (int j = k + 1; j < o->nr_weight; ++j) {
    o->weight_label[j - 1] = o->weight_label[j];
    o->weight[j - 1] = o->weight[j];
  }
  --o->nr_weight;
}

double training_bytes(size_t instances, size_t features, size_t stored, int classes, int solver) {
  const double l = static_cast<double>(instances), w_size = static_cast<double>(features) + 1;
  const double k = classes > 1 ? classes : 1;
  const double weights = 8 * w_size * (k + 8);
  const double per_instance = 8 * l * (k + 8);
  const double transposed = solver == L1R_L2LOSS_SVC || solver == L1R_LR ? 16 * (static_cast<double>(stored) + l + w_size) : 0;
  return weights + per_instance + transposed;
}

int count_classes(const double* y, size_t n) {
  std::vector<int> labels(n);
  for (size_t i = 0; i < n; ++i) labels[i] = static_cast<int>(y[i]);
  std::sort(labels.begin(), labels.end());
  return static_cast<int>(std::unique(labels.begin(), labels.end()) - labels.begin());
}

// Within the physical memory, and one block of that size given back at
// once: the system's answer for the address space (and its commit limit)
// without touching a page.
bool can_allocate(double bytes) {
  const uint64_t physical = host::physical_memory_bytes();
  if (physical != 0 && !(bytes <= static_cast<double>(physical))) return false;
  if (!(bytes < static_cast<double>(SIZE_MAX / 2))) return false;
  void* p = std::malloc(static_cast<size_t>(bytes));
  std::free(p);
  return p != nullptr;
}

void make_problem(Problem* p, NodeLists lists, const double* y, size_t features, double bias) {
  p->lists = std::move(lists);
  const size_t n = p->lists.count();
  p->x.resize(n);
  for (size_t i = 0; i < n; ++i) p->x[i] = p->lists.nodes.data() + p->lists.start[i];
  p->prob.l = static_cast<int>(n);
  p->prob.n = static_cast<int>(features) + (bias >= 0 ? 1 : 0);
  p->prob.y = const_cast<double*>(y);  // liblinear only reads the labels
  p->prob.x = p->x.data();
  p->prob.bias = bias;
}

parameter parameter_of(TrainOptions* o) {
  parameter param{};
  param.solver_type = o->solver;
  param.eps = o->eps_given ? o->eps : default_eps(o->solver);
  param.C = o->C;
  param.p = o->p;
  param.nr_weight = o->nr_weight;
  param.weight_label = o->weight_label;
  param.weight = o->weight;
  param.init_sol = nullptr;
  return param;
}

ModelPtr train_model(const problem& prob, TrainOptions* options, PrintFunction print) {
  const parameter param = parameter_of(options);
  PrintScope printing(print);
  RandomScope seed;
  return ModelPtr(train(&prob, &param));
}

double cross_validate(const problem& prob, TrainOptions* options, PrintFunction print, double* target) {
  const parameter param = parameter_of(options);
  {
    PrintScope printing(print);
    RandomScope seed;
    cross_validation(&prob, &param, options->folds, target);
  }
  // The figures liblinear-train prints, summed in its order.
  if (is_regression_solver(options->solver)) {
    double total_error = 0;
    for (int i = 0; i < prob.l; ++i) {
      const double d = target[i] - prob.y[i];
      total_error += d * d;
    }
    return total_error / prob.l;
  }
  int total_correct = 0;
  for (int i = 0; i < prob.l; ++i)
    if (target[i] == prob.y[i]) ++total_correct;
  return 100.0 * total_correct / prob.l;
}

}  // namespace linmodel
