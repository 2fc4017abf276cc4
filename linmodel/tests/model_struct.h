// A linear model struct for the stand-in tests: the six fields in their
// order, Label as a column, w as one row (read flat).
#pragma once

#include <vector>

#include "host/standin/standin.h"

namespace linmodel_test {

inline standin::Array model_struct(double solver, double nr_class, double nr_feature, double bias,
                                   std::vector<double> labels, std::vector<double> w) {
  standin::Array s = standin::empty_struct_array({"Parameters", "nr_class", "nr_feature", "bias", "Label", "w"});
  standin::set_field(s.get(), "Parameters", standin::real(1, 1, {solver}));
  standin::set_field(s.get(), "nr_class", standin::scalar(nr_class));
  standin::set_field(s.get(), "nr_feature", standin::scalar(nr_feature));
  standin::set_field(s.get(), "bias", standin::scalar(bias));
  standin::set_field(s.get(), "Label", standin::real(labels.size(), 1, labels));
  standin::set_field(s.get(), "w", standin::real(1, w.size(), w));
  return s;
}

}  // namespace linmodel_test
