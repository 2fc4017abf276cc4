% acq_start, acq_fetch and acq_stop in Octave against the simulated amplifier.
lib = ampsim_path();
assert(exist(lib, 'file') == 2);
logfile = [tempname() '.log'];
setenv('AMPSIM_LOG', logfile);
vars = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', 'AMPSIM_OFFSET', ...
        'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_PARADIGM', 'AMPSIM_SEED'};
for k = 1:numel(vars), unsetenv(vars{k}); end

function lines = read_log(file)
  lines = strsplit(strtrim(fileread(file)), "\n");
end

% Argument messages (Octave puts the function's name before a MEX error).
assert_error(@() acq_start(), '', 'acq_start: One input argument required.');
assert_error(@() acq_start(lib, lib), '', 'acq_start: One input argument required.');
assert_error(@() acq_start(lib), '', 'acq_start: 15 output arguments required.');
s = cell(1, 15);
function varargout = start15(path)
  varargout = cell(1, 15);
  [varargout{:}] = acq_start(path);
end
assert_error(@() start15('abcd'), '', 'acq_start: First input argument must be a string.');
assert_error(@() start15(['abcde'; 'fghij']), '', 'acq_start: First input argument must be a string.');
assert_error(@() start15(12345), '', 'acq_start: First input argument must be a string.');
assert_error(@() start15('abcde'), '', 'acq_start: Could not load BioSemi driver DLL.');
assert_error(@() start15(repmat('x', 1, 16384)), 'acq_start:pathTooLong');
assert_error(@() acq_stop(1, 2, 3, 4), '', 'acq_stop: Five input argument required.');
assert_error(@() acq_stop(uint64(1), uint64(2), uint64(3), uint64(4), uint64([])), '', 'acq_stop: All inputs must be scalars.');
assert_error(@() acq_stop(1, 2, 3, 4, 5), 'acq_stop:notUint64');
assert_error(@() acq_fetch(1, 2, 3, 4, 5), '', 'acq_fetch: Six input arguments required.');
assert_error(@() acq_fetch(1, 2, 3, 4, 5, [6 7]), '', 'acq_fetch: All inputs must be scalars.');
assert_error(@() acq_fetch(1, 2, 3, 4, 5, 6), '', 'acq_fetch: Two output arguments required.');

% A full session: Mk1, speed mode 3 (34 channels, 16384 Hz), sped up so
% that the ring wraps every 0.94 s.
setenv('AMPSIM_STATUS', '0x06000000');
setenv('AMPSIM_RATE', '32768');
threads_before = numel(dir('/proc/self/task'));
[s{:}] = acq_start(lib);
assert(numel(dir('/proc/self/task')), threads_before + 1);   % the simulator's writer
for k = 1:8, assert(isa(s{k}, 'uint64') && isscalar(s{k})); end
for k = 9:15, assert(isa(s{k}, 'int32') && isscalar(s{k})); end
assert([s{9:15}], int32([34 16384 1 1 32 0 0]));

channels = double(s{9});
ptr = s{15};
expected = 0;
wraps = 0;
t0 = tic();
while (toc(t0) < 1.2 || wraps < 2) && toc(t0) < 20
  pause(0.01);
  [data, next] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
  assert(isa(data, 'int32') && isa(next, 'int32'));
  assert(mod(double(next), channels * 4), 0);
  if next < ptr, wraps++; end
  if isempty(data)
    assert(size(data), [0 0]);
    assert(next, ptr);
  else
    assert(rows(data), channels);
    assert(all(data(1, :) == -256));
    counter = double(typecast(data(end, :), 'uint32'));   % the sweep's index mod 2^24, in the upper three bytes
    assert(counter, mod(expected + (0:columns(data) - 1), 2^24) * 256);
    expected += columns(data);
  end
  ptr = next;
end
assert(wraps >= 2);
printf('fetched %d sweeps across %d wrap-arounds, none lost\n', expected, wraps);
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
lines = read_log(logfile);
assert(lines(end - 2:end), {'USB_WRITE disable ok', 'CLOSE_DRIVER_ASYNC ok', 'unload'});
% No thread and no library left behind.
assert(numel(dir('/proc/self/task')), threads_before);
assert(isempty(strfind(fileread('/proc/self/maps'), 'libampsim.so')));

% Values outside the session are refused before the driver is touched.
[s{:}] = acq_start(lib);
function fetch2(varargin)
  [d, p] = acq_fetch(varargin{:});
end
assert_error(@() fetch2(s{1}, s{2}, s{6}, s{8}, int32(0), s{15}), 'acq_fetch:badChannelCount');
assert_error(@() fetch2(s{1}, s{2}, s{6}, s{8}, s{9}, int32(12)), 'acq_fetch:badPointer');
assert_error(@() fetch2(s{1}, s{2}, s{6}, s{8}, s{9}, 0), 'acq_fetch:notInt32');
assert_error(@() fetch2(s{1}, s{2}, double(s{6}), s{8}, s{9}, s{15}), 'acq_fetch:notUint64');
% Stop with a failing disable and close: two warnings, everything released.
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});

setenv('AMPSIM_FAIL', 'USB_WRITE:3@2,CLOSE_DRIVER_ASYNC:1@2');
setenv('AMPSIM_STATUS', '0xC8000000');   % Mk2, speed mode 4, battery low
unsetenv('AMPSIM_RATE');
lastwarn('');
[s{:}] = acq_start(lib);
[msg, id] = lastwarn();
assert(id, 'BioSemi:BatteryLow');
assert(msg, 'acq_start: The BioSemi battery is low; amplifier will shut down within 30-60 minutes.');
assert(s{9}, int32(282));
warning('off', 'BioSemi:HandshakeProblem');
lastwarn('');
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
[msg, id] = lastwarn();
assert(id, 'BioSemi:CloseProblem');
warning('on', 'BioSemi:HandshakeProblem');
lines = read_log(logfile);
assert(lines(end - 2:end), {'USB_WRITE disable fail', 'CLOSE_DRIVER_ASYNC fail', 'unload'});

% A failed start releases everything: the simulator is unloaded.
setenv('AMPSIM_FAIL', 'READ_POINTER:1@2');
assert_error(@() start15(lib), '', 'acq_start: Can not obtain ring buffer pointer from BioSemi driver.');
lines = read_log(logfile);
assert(lines(end - 3:end), {'READ_POINTER fail', 'USB_WRITE disable ok', 'CLOSE_DRIVER_ASYNC ok', 'unload'});

% A battery warning that the script has turned into an error ends the start
% with everything released, so that the next start finds the driver free.
unsetenv('AMPSIM_FAIL');
setenv('AMPSIM_STATUS', '0xC8000000');
warning('error', 'BioSemi:BatteryLow');
assert_error(@() start15(lib), 'BioSemi:BatteryLow');
warning('on', 'BioSemi:BatteryLow');
lines = read_log(logfile);
assert(lines(end - 2:end), {'USB_WRITE disable ok', 'CLOSE_DRIVER_ASYNC ok', 'unload'});
unsetenv('AMPSIM_STATUS');
s = cell(1, 15);
[s{:}] = acq_start(lib);
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});

for k = 1:numel(vars), unsetenv(vars{k}); end
unsetenv('AMPSIM_LOG');
delete(logfile);
