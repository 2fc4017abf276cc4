% DEMO_ACQUISITION  A three-second acquisition from the simulated amplifier.
% Opens a session with acq_open (acq_start's fifteen outputs as a struct),
% reads in a loop with acq_read, closes it, then decodes what arrived with
% acq_decode: sweep rate, channel layout, the trigger events, 1-second
% epochs in microvolts after each event, and the dominant rhythm of an EEG
% channel.
for v = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', 'AMPSIM_OFFSET', ...
         'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_LOG', 'AMPSIM_PARADIGM', 'AMPSIM_SEED'}
  unsetenv(v{1});
end
printf('Driver library: %s\n\n', ampsim_path());
s = acq_open(ampsim_path());             % prints every step of the start
cleanup = onCleanup(@() acq_close(s));   % the session ends even if this demo fails
t0 = tic();
rate = double(s.rate);
printf('\nLayout: %d words per sweep = %d sync + %d trigger/status + %d EEG + %d ExG + %d extra, %d Hz\n', ...
       s.channels, s.nsync, s.ntrig, s.neeg, s.nexg, s.nextra, rate);

seconds = 3;
data = zeros(s.channels, ceil((seconds + 1) * rate), 'int32');
count = 0;
next_report = 1;
while toc(t0) < seconds
  pause(0.05);
  [chunk, s] = acq_read(s);
  n = columns(chunk);
  data(:, count + 1:count + n) = chunk;
  count += n;
  if toc(t0) >= next_report
    printf('  %.0f s: %d sweeps so far\n', toc(t0), count);
    next_report += 1;
  end
end
elapsed = toc(t0);
clear cleanup                            % stops the session (acq_close)
data = data(:, 1:count);

printf('\nReceived %d sweeps in %.2f s: %.0f sweeps/s (expected %d)\n', count, elapsed, count / elapsed, rate);
d = acq_decode(data, s);
counter = double(typecast(data(end, :), 'uint32')) / 256;   % the simulator's sweep counter (mod 2^24)
printf('Sync word in every sweep: %d; sweep counter continuous: %d (sweeps %d to %d)\n', ...
       all(d.sync_ok), all(mod(diff(counter), 2^24) == 1), counter(1), counter(end));
printf('Status: Mk2 %d, speed mode %d, battery low %d\n', d.mk2(1), d.speed_mode(1), d.battery_low(1));

onsets = find(diff([0 d.trigger]) > 0);
printf('Trigger events: %d, codes %s at %s s\n', numel(onsets), mat2str(d.trigger(onsets)), ...
       mat2str(round((onsets - 1) / rate * 100) / 100));

% 1-second epochs after each event that has a whole second behind it, in uV.
onsets = onsets(onsets + rate - 1 <= count);
epochs = zeros(s.neeg, rate, numel(onsets));
for k = 1:numel(onsets)
  epochs(:, :, k) = d.eeg(:, onsets(k) + (0:rate - 1));
end
average = mean(epochs(1, :, :), 3);
average -= mean(average(1:round(rate / 10)));   % baseline: the first 100 ms
printf('Epochs: %d of %d EEG channels x %d samples; channel 1 average epoch spans %.1f uV peak to peak\n', ...
       size(epochs, 3), size(epochs, 1), size(epochs, 2), max(average) - min(average));

uv = d.eeg(1, :) - mean(d.eeg(1, :));
spectrum = abs(fft(uv .* hanning(numel(uv))'));
freqs = (0:numel(uv) - 1) * rate / numel(uv);
band = freqs > 1 & freqs < 45;
[~, k] = max(spectrum .* band);
printf('EEG channel 1: %.1f uV rms, dominant rhythm at %.1f Hz\n', sqrt(mean(uv .^ 2)), freqs(k));
