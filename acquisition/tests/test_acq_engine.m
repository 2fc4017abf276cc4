% The sessions of acq_open in Octave against the simulated amplifier: reads
% across ring wraps and a history overflow, onsets across read boundaries,
% a channel choice, the errors of acq_window, a 3-s script stall at the
% largest layout, and open/read/close cycles that leave nothing behind.
vars = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', 'AMPSIM_OFFSET', ...
        'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_PARADIGM', 'AMPSIM_SEED', 'AMPSIM_LOG'};
for k = 1:numel(vars), unsetenv(vars{k}); end
counter = @(data) double(bitshift(typecast(data(end, :), 'uint32'), -8));   % the simulator's sweep counter
threads = @() numel(dir('/proc/self/task')) - 2;

% Mk1 speed mode 3: 34 channels at 16384 Hz, the ring wrapping every 1.9 s.
setenv('AMPSIM_STATUS', '0x06000000');
s = acq_open(ampsim_path(), 'quiet', true, 'history', 0.5);
cleanup = onCleanup(@() acq_close(s));
assert([s.channels s.rate], int32([34 16384]));
% Reads 0.3 s apart for 4 s, twice round the ring: every sweep once, in order.
next = 0;
all_codes = zeros(1, 0);
t0 = tic();
while toc(t0) < 4
  pause(0.3);
  [data, s] = acq_read(s);
  assert(counter(data), mod(next + (0:columns(data) - 1), 2 ^ 24));
  next += columns(data);
  d = acq_decode(data, s);
  all_codes = [all_codes, d.trigger];
end
% The onsets of the whole stream, detected by the reader across the reads.
ev = acq_events(s);
expected = find(diff([0, all_codes]) ~= 0 & all_codes ~= 0);
seen = ev.sweep(ev.sweep <= next)';
assert(seen, expected);
assert(ev.code(ev.sweep <= next)', all_codes(expected));
% A read later than the history (0.5 s): the whole history (less what the
% reader replaced while it was copied, on a slow machine), and the exact
% count of the sweeps lost.
pause(1.2);
lastwarn('', '');
saved_warnings = warning();
warning('on', 'acq_read:dataLost');
[data, s] = acq_read(s);
received_at_read = acq_status(s).received;
[msg, id] = lastwarn();
assert(id, 'acq_read:dataLost');
first = counter(data(:, 1));
lost = first - mod(next, 2 ^ 24);
assert(columns(data) <= 8192 && columns(data) > 4096);
assert(all(diff(counter(data)) == 1) && counter(data(:, end)) < received_at_read);
assert(! isempty(strfind(msg, sprintf('%d sweeps (', lost))), msg);
next += lost + columns(data);
st = acq_status(s);
assert(st.lost, lost);
% A lab that stops on loss: the warning as an error, caught; the next read
% goes on from where the failed one ended, with no error of its own, and
% the failed read's sweeps are still there for acq_window.
warning('error', 'acq_read:dataLost');
pause(1.2);
try
  [data, s] = acq_read(s);
  error('test:noError', 'the late read did not raise');
catch err
  assert(err.identifier, 'acq_read:dataLost');
end
failed_end = acq_status(s).received;   % about: the read ended at most a few sweeps before
pause(0.1);
[data, s] = acq_read(s);
assert(columns(data) > 0 && columns(data) < 8192);
assert(all(mod(diff(counter(data)), 2 ^ 24) == 1));
[w, f] = acq_window(s, failed_end - 4000, failed_end - 3000);
assert(f, failed_end - 4000);
warning(saved_warnings);
% acq_window: what the history holds, and its two refusals.
received = acq_status(s).received;
[w, f] = acq_window(s, received - 99, received);
assert(f, received - 99);
assert(counter(w), mod(received - 100 + (0:99), 2 ^ 24));
try
  acq_window(s, received - 9000, received - 8999);
  error('test:noError', 'a window older than the history was given');
catch err
  assert(err.identifier, 'acq_window:gone');
end
try
  acq_window(s, received, received + 1e6);
  error('test:noError', 'a window in the future was given');
catch err
  assert(err.identifier, 'acq_window:notYet');
end
clear cleanup

% A channel choice: the history keeps Sync, Status, A1, EXG1 and the
% counter; acq_decode reads the kept layout.
unsetenv('AMPSIM_STATUS');
s = acq_open(ampsim_path(), 'quiet', true, 'channels', {'EXTRA16', 'EXG1', 'A1'});
pause(0.2);
[data, s] = acq_read(s);
acq_close(s);
assert(rows(data), 5);
d = acq_decode(data, s);
assert([rows(d.eeg) rows(d.exg) rows(d.extra)], [1 1 1]);
assert(counter(data), 0:columns(data) - 1);

% A script stalled for 3 s at 610 channels x 16384 Hz (ring 1.9 s, default
% history 26.8 s): nothing lost.
setenv('AMPSIM_STATUS', '0x86000000');
s = acq_open(ampsim_path(), 'quiet', true);
cleanup = onCleanup(@() acq_close(s));
assert([s.channels s.rate], int32([610 16384]));
assert(abs(s.history - 2 ^ 30 / (610 * 4 * 16384)) < 1e-3);
pause(3);
[data, s] = acq_read(s);
assert(columns(data) > 30720);   % more than the ring holds
assert(counter(data), 0:columns(data) - 1);
assert(acq_status(s).lost, 0);
clear cleanup data
unsetenv('AMPSIM_STATUS');

% Open, read and close again and again: no thread, no memory left behind.
before = threads();
for k = 1:60
  s = acq_open(ampsim_path(), 'quiet', true, 'history', 1);
  [data, s] = acq_read(s);
  assert(acq_close(s));
end
assert(threads(), before);
printf('acq_open sessions: wraps, overflow, onsets, channels, windows, a 3-s stall and 60 cycles\n');
