function t = fuzz_text(v, limit)
% FUZZ_TEXT  Octave code that rebuilds V exactly, for the call log and the
% findings.  Values whose code would be longer than LIMIT characters
% (default 400) are shown by class and size only, as <class MxN ...>; the
% call is then drawn again with fuzz_replay(seed, k).
  if nargin < 2, limit = 400; end
  if elements(v) > limit / 4
    t = summary(v);
    return;
  end
  t = code(v);
  if numel(t) > limit, t = summary(v); end
end

% The count of values in V, looked at before its code is made.
function n = elements(v)
  if iscell(v)
    n = sum(cellfun(@elements, v(:)));
  elseif isstruct(v)
    n = 0;
    for j = 1:numel(v)
      n += sum(cellfun(@elements, struct2cell(v(j))));
    end
  elseif ischar(v)
    n = numel(v) / 8;
  elseif issparse(v)
    n = nnz(v);
  else
    n = numel(v);
  end
end

function t = code(v)
  sz = size(v);
  if isa(v, 'function_handle')
    t = func2str(v);
    if t(1) ~= '@', t = ['@' t]; end
  elseif iscell(v)
    parts = cellfun(@code, v(:).', 'UniformOutput', false);
    t = reshape_code(['{' join(parts) '}'], sz, numel(v) == 0);
  elseif isstruct(v)
    f = fieldnames(v);
    parts = {};
    for j = 1:numel(f)
      vals = cellfun(@code, {v(:).(f{j})}, 'UniformOutput', false);
      parts{end + 1} = sprintf('''%s'', {%s}', f{j}, join(vals));
    end
    if isempty(f)
      t = 'struct()';
      if numel(v) ~= 1, t = sprintf('repmat(struct(), %s)', mat2str(sz)); end
    else
      t = reshape_code(['struct(' join(parts) ')'], sz, numel(v) == 0);
    end
  elseif issparse(v)
    [i, j, x] = find(v);
    if islogical(v), x = double(x); end
    t = sprintf('sparse(%s, %s, %s, %.0f, %.0f)', num_code(i.'), num_code(j.'), num_code(x.'), sz(1), sz(2));
    if islogical(v), t = ['logical(' t ')']; end
  elseif ischar(v)
    if any(v(:) < 32 | v(:) > 126) || isempty(v) || rows(v) ~= 1
      t = sprintf('char(%s)', reshape_code(num_code(double(v(:).')), sz, isempty(v)));
    else
      t = ['''' strrep(v, '''', '''''') ''''];
    end
  elseif isnumeric(v) || islogical(v)
    if isempty(v)
      t = sprintf('zeros(%s, ''%s'')', dims_code(sz), class(v));
      if islogical(v), t = sprintf('false(%s)', dims_code(sz)); end
      if iscomplex(v), t = sprintf('complex(%s)', t); end
    else
      t = num_code(v(:).');
      if isinteger(v) || islogical(v) || isa(v, 'single'), t = sprintf('%s(%s)', class(v), t); end
      t = reshape_code(t, sz, false);
    end
  else
    t = summary(v);
  end
end

% A row of numbers to the last bit: integers plainly, others with 17 digits.
function t = num_code(x)
  if iscomplex(x)
    t = sprintf('complex(%s, %s)', num_code(real(x)), num_code(imag(x)));
    return;
  end
  if isa(x, 'uint64')
    t = regexprep(mat2str(x), '^uint64\(\[?|\]?\)$', '');
    if numel(x) ~= 1, t = ['[' t ']']; end
    return;
  elseif isinteger(x) || islogical(x)
    t = sprintf('%d ', x);
  else
    t = sprintf('%.17g ', x);
  end
  t = t(1:end - 1);
  if numel(x) ~= 1, t = ['[' t ']']; end
end

function t = dims_code(sz)
  t = sprintf('%.0f, ', sz);
  t = t(1:end - 2);
end

function t = join(parts)
  if isempty(parts)
    t = '';
  elseif numel(parts) == 1
    t = parts{1};
  else
    t = [parts{1}, sprintf(', %s', parts{2:end})];
  end
end

function t = reshape_code(t, sz, empty)
  if numel(sz) == 2 && sz(1) == 1 && ~empty, return; end
  t = sprintf('reshape(%s, %s)', t, dims_code(sz));
end

function t = summary(v)
  flags = '';
  if issparse(v), flags = [flags ' sparse']; end
  if (isnumeric(v) && iscomplex(v)), flags = [flags ' complex']; end
  t = sprintf('%.0fx', size(v));
  t = sprintf('<%s %s%s>', class(v), t(1:end - 1), flags);
end
