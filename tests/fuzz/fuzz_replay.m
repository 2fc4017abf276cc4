function fuzz_replay(seed, k, workdir, run)
% FUZZ_REPLAY  Draws call K of the fuzz run with seed SEED again and prints
% it in full as Octave code; with RUN true, also runs it.  Calls of acq_fetch
% and acq_stop that used a live session depend on the calls before them:
% their log line holds their inputs.
%   octave-cli --eval "addpath('build-asan/mex', 'tests/fuzz'); fuzz_replay(1, 1234, 'build-asan/fuzz')"
  if nargin < 3, workdir = tempdir(); end
  if nargin < 4, run = false; end
  ctx.wild = false;
  ctx.paths = fuzz_paths(workdir);
  ctx.fifo = fullfile(workdir, 'fifo.so');
  c = fuzz_call(seed, k, ctx);
  args = cellfun(@(v) fuzz_text(v, Inf), c.args, 'UniformOutput', false);
  printf('%% call %d of seed %d\n', k, seed);
  for j = 1:rows(c.env), printf('setenv(''%s'', ''%s'');\n', c.env{j, 1}, c.env{j, 2}); end
  for j = 1:numel(c.errors), printf('warning(''error'', ''%s'');\n', c.errors{j}); end
  if c.nout > 0
    printf('[%s] = ', strjoin(arrayfun(@(j) sprintf('o%d', j), 1:c.nout, 'UniformOutput', false), ', '));
  end
  printf('%s(%s)\n', c.name, strjoin(args, ', '));
  if ~isempty(c.session)
    printf('%% (%s: with a live session the log line of the run holds the inputs used)\n', c.name);
  end
  if run
    out = cell(1, c.nout);
    for j = 1:rows(c.env), setenv(c.env{j, 1}, c.env{j, 2}); end
    if c.nout == 0, feval(c.name, c.args{:}); else, [out{:}] = feval(c.name, c.args{:}); end
    disp(out);
  end
end
