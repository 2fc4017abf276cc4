% The session guards in Octave against the simulated amplifier: stale and
% swapped scalars, a second start, acq_stop_all after lost scalars, and the
% exit hook, which stops what is live when the acquisition MEX files are
% cleared or Octave exits.
lib = ampsim_path();
logfile = [tempname() '.log'];
setenv('AMPSIM_LOG', logfile);
vars = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', 'AMPSIM_OFFSET', ...
        'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_PARADIGM', 'AMPSIM_SEED'};
for k = 1:numel(vars), unsetenv(vars{k}); end
shutdown = {'USB_WRITE disable ok', 'CLOSE_DRIVER_ASYNC ok', 'unload'};

function lines = read_log(file)
  lines = strsplit(strtrim(fileread(file)), "\n");
end
function tail = log_tail(file, n)
  lines = read_log(file);
  tail = lines(max(1, end - n + 1):end);
end
function fetch2(varargin)
  [d, p] = acq_fetch(varargin{:});
end
function varargout = start15(path)
  varargout = cell(1, 15);
  [varargout{:}] = acq_start(path);
end

% Stale and swapped scalars are refused with identifiers, touching nothing.
s = cell(1, 15);
evalc('[s{:}] = acq_start(lib);');
assert_error(@() fetch2(s{1}, s{2}, s{6}, s{8}, s{10}, s{15}), 'acq_fetch:noSession');   % rate as channel count
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
assert(log_tail(logfile, 3), shutdown);
n_lines = numel(read_log(logfile));
assert_error(@() fetch2(s{1}, s{2}, s{6}, s{8}, s{9}, s{15}), 'acq_fetch:noSession');
assert_error(@() acq_stop(s{1}, s{2}, s{4}, s{7}, s{8}), 'acq_stop:noSession');
assert(numel(read_log(logfile)), n_lines);

% A script that lost its scalars: the next start says the library is in
% use and how to stop it; acq_stop_all does.
evalc('[s{:}] = acq_start(lib);');
s = cell(1, 15);
try
  evalc('[s{:}] = acq_start(lib);');
  error('test:noError', 'the second start did not fail');
catch err
  assert(err.identifier, 'acq_start:alreadyOpen');
  assert(! isempty(strfind(err.message, 'already has a live acquisition session')));
  assert(! isempty(strfind(err.message, 'acq_stop_all()')));
end
out = evalc('n = acq_stop_all();');
assert(n, 1);
assert(! isempty(strfind(out, 'Stopped acquisition session ')));
assert(log_tail(logfile, 3), shutdown);
assert(acq_stop_all(), 0);
assert_error(@() acq_stop_all(1), 'acq_stop_all:nargin');

% Clearing the acquisition MEX files stops what is live, once the last of
% them is cleared.
evalc('[s{:}] = acq_start(lib);');
pause(0.02);
[data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, s{15});
n_lines = numel(read_log(logfile));
clear acq_start acq_stop acq_stop_all
assert(numel(read_log(logfile)), n_lines);   % acq_fetch is still loaded: the session goes on
[data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
clear acq_fetch
assert(log_tail(logfile, 3), shutdown);
assert_error(@() fetch2(s{1}, s{2}, s{6}, s{8}, s{9}, ptr), 'acq_fetch:noSession');

% Octave exits with a session live, normally and after an uncaught error:
% the exit hook disables and closes the driver before the process ends.
octave_cli = fullfile(OCTAVE_HOME(), 'bin', 'octave-cli');
if ! exist(octave_cli, 'file'), octave_cli = 'octave-cli'; end
mexdir = fileparts(which('acq_start'));
for ending = {'exit(0)', 'error(''script failed'')'}
  delete(logfile);
  script = sprintf(['addpath(''%s''); s = cell(1, 15); [s{:}] = acq_start(ampsim_path()); pause(0.05); ' ...
                    '[d, p] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, s{15}); %s'], mexdir, ending{1});
  [status, output] = system(sprintf('"%s" --no-history --no-init-file --quiet --no-window-system --eval "%s" 2>&1', ...
                                    octave_cli, script));
  assert(! isempty(strfind(output, 'Channel format is correct...')), '%s', output);
  lines = read_log(logfile);
  assert(isequal(lines(end - 2:end), shutdown), '%s: %s', ending{1}, strjoin(lines, ' | '));
end

for k = 1:numel(vars), unsetenv(vars{k}); end
unsetenv('AMPSIM_LOG');
delete(logfile);
