% DEMO_ACQUISITION  A three-second acquisition from the simulated amplifier.
% Starts a session with acq_start, fetches in a loop with acq_fetch, stops
% with acq_stop, then shows what arrived: sweep rate, channel layout, the
% trigger events and the dominant rhythm of an EEG channel.
for v = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', 'AMPSIM_OFFSET', ...
         'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_LOG', 'AMPSIM_PARADIGM', 'AMPSIM_SEED'}
  unsetenv(v{1});
end
printf('Driver library: %s\n\n', ampsim_path());
s = cell(1, 15);
[s{:}] = acq_start(ampsim_path());
t0 = tic();
[nchan, rate] = deal(double(s{9}), double(s{10}));
printf('\nLayout: %d words per sweep = %d sync + %d trigger/status + %d EEG + %d ExG + %d extra, %d Hz\n', ...
       nchan, s{11}, s{12}, s{13}, s{14}, nchan - sum(double([s{11:14}])), rate);

seconds = 3;
data = zeros(nchan, ceil((seconds + 1) * rate), 'int32');
count = 0;
ptr = s{15};
next_report = 1;
while toc(t0) < seconds
  pause(0.05);
  [chunk, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
  n = columns(chunk);
  data(:, count + 1:count + n) = chunk;
  count += n;
  if toc(t0) >= next_report
    printf('  %.0f s: %d sweeps so far\n', toc(t0), count);
    next_report += 1;
  end
end
elapsed = toc(t0);
acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
data = data(:, 1:count);

printf('\nReceived %d sweeps in %.2f s: %.0f sweeps/s (expected %d)\n', count, elapsed, count / elapsed, rate);
counter = double(typecast(data(end, :), 'uint32'));
printf('Sync word in every sweep: %d; sweep counter continuous: %d (sweeps %d to %d)\n', ...
       all(data(1, :) == -256), all(diff(counter) == 1), counter(1), counter(end));

status = typecast(data(2, :), 'uint32');
trigger = double(bitand(bitshift(status, -8), uint32(65535)));
onsets = find(diff([0 trigger]) > 0);
printf('Trigger events: %d, codes %s at %s s\n', numel(onsets), mat2str(trigger(onsets)), ...
       mat2str(round((onsets - 1) / rate * 100) / 100));

uv = double(data(3, :)) / 256 * 0.03125;   % 24-bit sample, 31.25 nV per step
uv -= mean(uv);
spectrum = abs(fft(uv .* hanning(numel(uv))'));
freqs = (0:numel(uv) - 1) * rate / numel(uv);
band = freqs > 1 & freqs < 45;
[~, k] = max(spectrum .* band);
printf('EEG channel 1: %.1f uV rms, dominant rhythm at %.1f Hz\n', sqrt(mean(uv .^ 2)), freqs(k));
