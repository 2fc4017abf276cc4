% ACQ_NOLOSS  Run by hand: a fetch loop in Octave against the simulated
% amplifier at the largest layout (Mk2, speed mode 3: 610 channels, 16384 Hz)
% for DURATION seconds of data (default 60), checking with the simulator's
% sweep counter that no sweep is lost, repeated or reordered, and timing
% every acq_fetch call.
%   octave-cli --eval "addpath('build/mex'); duration = 60; run('bench/acq_noloss.m')"
if ~exist('duration', 'var'), duration = 60; end
if ~exist('period', 'var'), period = 0.02; end   % pause between fetches, s
setenv('AMPSIM_STATUS', '0x86000000');
unsetenv('AMPSIM_RATE');
s = cell(1, 15);
evalc('[s{:}] = acq_start(ampsim_path());');
[nchan, rate] = deal(double(s{9}), double(s{10}));
printf('%d channels at %d Hz, %.1f MB/s; fetching every %.0f ms for %d s\n', nchan, rate, nchan * 4 * rate / 1e6, ...
       period * 1000, duration);
ptr = s{15};
expected = 0;
calls = 0; busy = 0; worst = 0; biggest = 0;
t0 = tic();
next_report = 10;
while expected < duration * rate
  pause(period);
  tc = tic();
  [data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
  dt = toc(tc);
  calls += 1; busy += dt; worst = max(worst, dt);
  n = columns(data);
  biggest = max(biggest, n);
  if n > 0
    counter = double(typecast(data(end, :), 'uint32'));   % the sweep's index mod 2^24, in the upper three bytes
    if any(counter ~= mod(expected + (0:n - 1), 2^24) * 256) || any(data(1, :) ~= -256)
      acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
      error('acq_noloss:lost', 'sweep lost or out of order near sweep %d', expected);
    end
    expected += n;
  end
  if toc(t0) >= next_report
    printf('  %3.0f s: %d sweeps\n', toc(t0), expected);
    next_report += 10;
  end
end
elapsed = toc(t0);
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
unsetenv('AMPSIM_STATUS');
printf('%d sweeps (%.1f s of data) in %.1f s, none lost; %d fetches, %.0f sweeps per fetch on average, at most %d\n', ...
       expected, expected / rate, elapsed, calls, expected / calls, biggest);
printf('acq_fetch in Octave: %.3f ms per call on average (%.1f ns per sweep), worst %.2f ms; %.1f%% of the wall time\n', ...
       1000 * busy / calls, 1e9 * busy / expected, 1000 * worst, 100 * busy / elapsed);
