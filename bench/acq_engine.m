function acq_engine()
% ACQ_ENGINE  The costs of acq_open's reader thread, from make bench:
%   - its processor time at the largest layout (610 channels at 16384 Hz,
%     40 MB/s), while it first fills its history and once the history
%     wraps (every page touched already);
%   - acq_read of 1 s at 282 channels against the host's own copy of an
%     array of that size (the floor of any function that returns it);
%   - the recorder thread's processor time writing every sweep of that
%     layout to a BDF file;
%   - a script stalled for 30 s with the default 60-s history: sweeps lost.
  vars = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_PARADIGM'};
  for k = 1:numel(vars), unsetenv(vars{k}); end

  setenv('AMPSIM_STATUS', '0x86000000');
  for history = [40 2]
    s = acq_open(ampsim_path(), 'quiet', true, 'history', history);
    pause(history == 2 * 3);                         % a 2-s history has wrapped after 3 s
    before = acq_status(s);
    pause(10);
    after = acq_status(s);
    acq_close(s);
    share = (after.reader_cpu - before.reader_cpu) / (after.seconds - before.seconds);
    printf('acq_open reader, 610 channels x 16384 Hz, %s: %.2f %% of one core (aim: under 3 %%)\n', ...
           ifelse(history == 2, 'history wrapped', 'history filling'), 100 * share);
  end
  file = [tempname() '.bdf'];
  s = acq_open(ampsim_path(), 'quiet', true, 'history', 2, 'record', file);
  pause(3);
  before = acq_status(s);
  pause(10);
  after = acq_status(s);
  evalc('acq_close(s);');
  delete(file);
  printf(['acq_open recording, 610 channels x 16384 Hz: the recorder %.2f %% of one core above the reader''s ' ...
          '%.2f %% (aim: under 10 %%); %.1f MB/s to the file\n'], ...
         100 * (after.recorder_cpu - before.recorder_cpu) / (after.seconds - before.seconds), ...
         100 * (after.reader_cpu - before.reader_cpu) / (after.seconds - before.seconds), ...
         (after.sweeps_written - before.sweeps_written) * 609 * 3 / 1e6 / (after.seconds - before.seconds));
  unsetenv('AMPSIM_STATUS');

  % acq_read of 1 s (2048 sweeps of 282 channels, 2.3 MB), best of 15,
  % against copying an int32 array of that size in the host.
  s = acq_open(ampsim_path(), 'quiet', true);
  pause(1.2);
  [data, s] = acq_read(s);
  reads = zeros(1, 15);
  copies = zeros(1, 15);
  x = zeros(282, 2048, 'int32');
  for k = 1:15
    pause(1);
    t = tic();
    [data, s] = acq_read(s);
    reads(k) = toc(t);
    t = tic();
    y = x + int32(1);                             % a fresh 282 x 2048 int32 array, written once
    copies(k) = toc(t);
    assert(columns(data) >= 2000);
  end
  acq_close(s);
  printf(['acq_read of 1 s at 282 channels: %.3f ms against %.3f ms for the host''s copy of such an array: ' ...
          '%.3f ms above it (aim: under 1 ms)\n'], 1e3 * min(reads), 1e3 * min(copies), 1e3 * (min(reads) - min(copies)));

  % A 30-s stall of the script with the default history (60 s).
  s = acq_open(ampsim_path(), 'quiet', true);
  pause(30);
  [data, s] = acq_read(s);
  st = acq_status(s);
  acq_close(s);
  counter = double(bitshift(typecast(data(end, :), 'uint32'), -8));
  printf('a 30-s script stall with a %.0f-s history: %d sweeps read, %d lost, counter continuous: %s\n', ...
         s.history, columns(data), st.lost, mat2str(isequal(counter, 0:columns(data) - 1)));
end

function v = ifelse(c, a, b)
  if c, v = a; else, v = b; end
end
