function varargout = svm_kernel_model(type, varargin)
%SVM_KERNEL_MODEL  Smallest SVM model struct for GRAM_SQUARE and GRAM_PAIR.
%   MODEL = SVM_KERNEL_MODEL(TYPE)
%   MODEL = SVM_KERNEL_MODEL(TYPE, NAME, VALUE, ...)
%
%   Builds a 1-by-1 support-vector model struct that carries the kernel TYPE
%   and its parameters, and every other field GRAM_SQUARE and GRAM_PAIR read
%   (statistics set to 0 or -1, index 0, no support vectors), so that the
%   conversion prints no warning.  Only MODEL.kernel_parm decides the kernel
%   values.
%
%   Inputs
%     TYPE   kernel type, by name (case ignored) or by code:
%              'linear'                  0   s
%              'poly' or 'polynomial'    1   (coef_lin*s + coef_const)^degree
%              'rbf'                     2   exp(-gamma*(|a|^2 - 2*s + |b|^2))
%              'sigmoid'                 3   tanh(coef_lin*s + coef_const)
%              'custom'                  4   1
%            where s is the dot product of the two rows.
%     NAME, VALUE pairs (names case ignored; each a real finite scalar
%     unless said otherwise; parameters the kernel does not use are stored
%     all the same):
%       'degree' (or 'poly_degree')      integer exponent, default 3
%       'gamma' (or 'rbf_gamma')         width factor, default 1
%       'coef_lin' (or 'scale')          scale of s, default 1
%       'coef_const' (or 'offset')       additive constant, default 1
%       'custom'                         text of at most 127 characters,
%                                        default 'empty'; used by no value
%
%   Output
%     MODEL  1-by-1 struct with the double fields sv_num, upper_bound, b,
%            totwords, totdoc, loo_error, loo_recall, xa_error, xa_recall,
%            xa_precision, maxdiff, r_delta_sq, r_delta_avg, model_length,
%            loss, vcdim and index, the struct kernel_parm (kernel_type,
%            poly_degree, rbf_gamma, coef_lin, coef_const, custom) and
%            supvec, a 0-by-0 double.
%
%   Errors (identifiers svm_kernel_model:<condition>)
%     nargin            no kernel type given
%     unknownType       a name or code that is not one of the above
%     missingValue      a parameter name without its value
%     unknownParameter  a parameter name that is not one of the above
%     badValue          a value that is not a real finite scalar, or a
%                       degree that is not an integer in int32's range
%     badCustom         a custom text that is not a character row of at
%                       most 127 characters
%
%   Example
%     model = svm_kernel_model('rbf', 'gamma', 0.5);
%     K = gram_square([1 2; 3 4; 0 0], model);   % 3-by-3, diagonal exactly 1
%     gram_square([1 2; 3 4], svm_kernel_model('linear'))            % [5 11; 11 25]
%     gram_pair([1 2], [3 4], svm_kernel_model('poly', 'degree', 2))  % (11 + 1)^2 = 144
%
%   See also GRAM_SQUARE, GRAM_PAIR.

  if nargin < 1
    error('svm_kernel_model:nargin', 'A kernel type is required: svm_kernel_model(type, name, value, ...).');
  end
  if nargout > 1
    error('svm_kernel_model:nargout', 'At most 1 output: model = svm_kernel_model(type, ...).');
  end
  kp = struct('kernel_type', kernel_code(type), 'poly_degree', 3, 'rbf_gamma', 1, ...
              'coef_lin', 1, 'coef_const', 1, 'custom', 'empty');
  if mod(numel(varargin), 2) ~= 0
    error('svm_kernel_model:missingValue', 'The parameter ''%s'' has no value.', text_of(varargin{end}));
  end
  for k = 1:2:numel(varargin)
    name = varargin{k};
    value = varargin{k + 1};
    switch lower(text_of(name))
      case {'degree', 'poly_degree'}
        kp.poly_degree = scalar_value(name, value);
        if kp.poly_degree ~= fix(kp.poly_degree) || kp.poly_degree < -2147483648 || kp.poly_degree > 2147483647
          error('svm_kernel_model:badValue', 'The degree must be an integer in int32''s range, not %g.', ...
                kp.poly_degree);
        end
      case {'gamma', 'rbf_gamma'}
        kp.rbf_gamma = scalar_value(name, value);
      case {'coef_lin', 'scale'}
        kp.coef_lin = scalar_value(name, value);
      case {'coef_const', 'offset'}
        kp.coef_const = scalar_value(name, value);
      case 'custom'
        if ~(ischar(value) && (isempty(value) || size(value, 1) == 1) && numel(value) <= 127)
          error('svm_kernel_model:badCustom', 'The custom text must be a character row of at most 127 characters.');
        end
        kp.custom = value;
      otherwise
        error('svm_kernel_model:unknownParameter', ['Unknown parameter ''%s'': use degree, gamma, ' ...
              'coef_lin (scale), coef_const (offset) or custom.'], text_of(name));
    end
  end
  model = struct('sv_num', 0, 'upper_bound', 0, 'b', 0, 'totwords', 0, 'totdoc', 0, ...
                 'loo_error', -1, 'loo_recall', -1, 'xa_error', -1, 'xa_recall', -1, ...
                 'xa_precision', -1, 'maxdiff', 0, 'r_delta_sq', 0, 'r_delta_avg', 0, ...
                 'model_length', 0, 'loss', 0, 'vcdim', 0, 'index', 0, ...
                 'kernel_parm', kp, 'supvec', zeros(0, 0));
  varargout{1} = model;
end

function code = kernel_code(type)
  names = {'linear', 'poly', 'polynomial', 'rbf', 'sigmoid', 'custom'};
  codes = [0 1 1 2 3 4];
  if ischar(type) && size(type, 1) == 1
    hit = strcmpi(type, names);
    if any(hit)
      code = codes(hit);
      return;
    end
    error('svm_kernel_model:unknownType', ['Unknown kernel type ''%s'': use linear, poly, rbf, ' ...
          'sigmoid, custom or a code 0 to 4.'], type);
  end
  if isnumeric(type) && isreal(type) && isscalar(type) && any(double(type) == 0:4)
    code = double(type);
    return;
  end
  error('svm_kernel_model:unknownType', 'The kernel type must be a name or a code 0 to 4.');
end

function v = scalar_value(name, value)
  if ~(isnumeric(value) && isreal(value) && isscalar(value) && isfinite(value))
    error('svm_kernel_model:badValue', 'The value of ''%s'' must be a real finite scalar.', text_of(name));
  end
  v = double(value);
end

% A parameter name as text, for messages; anything else as a placeholder.
function t = text_of(name)
  if ischar(name) && size(name, 1) <= 1
    t = name;
  else
    t = '(not text)';
  end
end

%!assert (gram_square ([1 2; 3 4], svm_kernel_model ('linear')), [5 11; 11 25])
%!assert (gram_pair ([1 2], [3 4], svm_kernel_model ('poly', 'degree', 2)), 144)
%!assert (diag (gram_square ([1 2; 3 4; 0 0], svm_kernel_model ('rbf', 'gamma', 0.5))), [1; 1; 1])
%!test
%! m = svm_kernel_model ('Sigmoid', 'scale', 0.5, 'OFFSET', -1, 'custom', 'tanh');
%! assert (m.kernel_parm, struct ('kernel_type', 3, 'poly_degree', 3, 'rbf_gamma', 1, ...
%!                                'coef_lin', 0.5, 'coef_const', -1, 'custom', 'tanh'));
%! assert (svm_kernel_model (int32 (3), 'coef_lin', 0.5, 'coef_const', -1, 'custom', 'tanh'), m);
%! assert (gram_pair ([1 2], [3 4], m), double (single (tanh (0.5 * 11 - 1))));
%!test
%! ## Every type converts without a printed line, by name and by code.
%! for type = {'linear', 'poly', 'polynomial', 'rbf', 'sigmoid', 'custom', 0, 1, 2, 3, 4}
%!   out = evalc ('K = gram_square ([1 2; 3 4; 0 0], svm_kernel_model (type{1}));');
%!   assert (out, '');
%!   assert (size (K), [3 3]);
%! end
%! assert (gram_square ([1 2; 3 4], svm_kernel_model ('custom')), ones (2));
%!error id=svm_kernel_model:nargin svm_kernel_model ()
%!error id=svm_kernel_model:nargout [a, b] = svm_kernel_model ('rbf')
%!error id=svm_kernel_model:unknownType svm_kernel_model ('gauss')
%!error id=svm_kernel_model:unknownType svm_kernel_model (5)
%!error id=svm_kernel_model:unknownType svm_kernel_model (1.5)
%!error id=svm_kernel_model:unknownType svm_kernel_model ({'rbf'})
%!error id=svm_kernel_model:missingValue svm_kernel_model ('rbf', 'gamma')
%!error id=svm_kernel_model:unknownParameter svm_kernel_model ('rbf', 'sigma', 1)
%!error id=svm_kernel_model:badValue svm_kernel_model ('poly', 'degree', 2.5)
%!error id=svm_kernel_model:badValue svm_kernel_model ('rbf', 'gamma', [1 2])
%!error id=svm_kernel_model:badValue svm_kernel_model ('rbf', 'gamma', NaN)
%!error id=svm_kernel_model:badValue svm_kernel_model ('rbf', 'gamma', '1')
%!error id=svm_kernel_model:badCustom svm_kernel_model ('custom', 'custom', repmat ('x', 1, 128))
