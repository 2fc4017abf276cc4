function v = fuzz_value(kind)
% FUZZ_VALUE  An arbitrary host value from the current random state: every
% class (double, single, the integer classes at their extremes, logical,
% char, complex and logical sparse, cells, structs, function handles), N-d
% arrays, empties, and empties whose other dimensions are huge (nothing is
% allocated for them, but a size read into 32 bits wraps).
% FUZZ_VALUE('huge_empty') draws only the latter.
  if nargin < 1
    kind = pick({'double', 'double', 'scalar', 'scalar', 'single', 'integer', 'logical', 'char', 'complex', ...
                 'sparse', 'nd', 'huge_empty', 'huge_empty', 'cell', 'struct', 'handle'});
  end
  switch kind
    case 'double',  v = numbers(ri(0, 4), ri(0, 4));
    case 'scalar'
      v = numbers(1, 1);
      cls = pick({'double', 'double', 'single', 'int8', 'uint8', 'int16', 'uint16', 'int32', 'uint32', ...
                  'int64', 'uint64', 'logical'});
      if strcmp(cls, 'logical')
        v = v ~= 0 & ~isnan(v);
      elseif ~strcmp(cls, 'double')
        v = cast(v, cls);
        if rand < 0.4 && isinteger(v), v = pick({intmax(cls), intmin(cls), intmax(cls) - 1, intmin(cls) + 1}); end
      end
    case 'single',  v = single(numbers(ri(0, 3), ri(0, 3)));
    case 'integer'
      cls = pick({'int8', 'uint8', 'int16', 'uint16', 'int32', 'uint32', 'int64', 'uint64'});
      v = cast(numbers(ri(0, 3), ri(0, 3)), cls);
      if ~isempty(v) && rand < 0.5, v(ri(1, numel(v))) = pick({intmax(cls), intmin(cls)}); end
    case 'logical', v = rand(ri(0, 3), ri(0, 4)) < 0.5;
    case 'char'
      v = pick({'', 'a', 'col', '-b 1', char(ri(0, 255) * ones(1, ri(1, 8))), char([0 0 0]), ['ab'; 'cd'], ...
                repmat('z', 1, ri(100, 5000)), char(zeros(0, 3)), char(zeros(3, 0))});
    case 'complex'
      v = numbers(ri(0, 3), ri(0, 3)) + 1i * numbers(1, 1);
      if rand < 0.3, v = single(v); end
      if rand < 0.2, v = complex(numbers(1, 2), 0); end
    case 'sparse'
      v = sparse(numbers(ri(0, 4), ri(0, 4)) .* (rand < 0.5));
      switch ri(1, 4)
        case 1, v = v * (1 + 2i);
        case 2, v = logical(v ~= 0 & ~isnan(v));
        case 3, v = sparse(ri(0, 5), ri(0, 5));
      end
    case 'nd'
      sz = arrayfun(@(x) ri(0, 3), 1:ri(3, 5));
      v = reshape(numbers(1, prod(sz)), sz);
      if rand < 0.3, v = int32(v); end
      if rand < 0.2, v = single(v) * (1 + 1i); end
    case 'huge_empty'
      big = pick({2^31 - 1, 2^31, 2^32, 2^32 + 1, 2^33 + 2, 2^40});
      switch ri(1, 8)
        case 1, v = zeros(0, big);
        case 2, v = zeros(big, 0);
        case 3, v = sparse(big, 1);
        case 4, v = sparse(big, 0);
        case 5, v = zeros(0, big, 'int32');
        case 6, v = zeros(big, 0, 'single');
        case 7, v = char(zeros(0, big));
        case 8, v = zeros(0, 2, big);
      end
    case 'cell'
      v = pick({{}, {1}, {'col'}, {1, 'a'; [], {}}, cell(2, 0), {fuzz_value('scalar')}});
    case 'struct'
      v = pick({struct(), struct([]), struct('a', {}), struct('a', {1, 2}), struct('w', 1, 'b', 'x'), ...
                struct('kernel_parm', struct()), struct('x', fuzz_value('scalar'))});
    case 'handle'
      v = pick({@sin, @(x) x});
  end
end

% An m-by-n double matrix of ordinary and extreme values.
function v = numbers(m, n)
  pool = [0, -0, 1, -1, 0.5, 2, 3, 7, 100, 2^31 - 1, 2^31, -2^31, -2^31 - 1, 2^32, 2^32 + 1, 2^53, 2^63, ...
          1e300, realmax, -realmax, realmin, eps, NaN, Inf, -Inf];
  v = randn(m, n) * 10;
  mask = rand(m, n) < 0.4;
  v(mask) = pool(floor(rand(nnz(mask), 1) * numel(pool)) + 1);
end

function v = pick(list)
  v = list{ri(1, numel(list))};
end

function n = ri(a, b)
  n = a + floor(rand * (b - a + 1));
end
