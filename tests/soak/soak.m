function soak(seconds, cycles, seed)
% SOAK  A long acquisition against the simulated amplifier at its largest
% layout (Mk2, speed mode 3: 610 channels at 16384 Hz, 40 MB/s): fetches at
% random intervals of 1 to 200 ms for SECONDS seconds, every sweep checked
% against the simulator's sweep counter (last channel: the sweep's index
% modulo 2^24 in the upper three bytes, the low byte 0) and sync word (first
% channel); then the same with a session of acq_open (its reader thread and
% a history 10 s longer than the stall) for SECONDS seconds, with one script
% stall of min(30, SECONDS/3) s in the middle, reporting the reader's processor
% time and acq_read's latency; then CYCLES start/stop cycles and CYCLES
% acq_open/acq_read/acq_close cycles in this one process, with the
% resident memory, threads and open files compared before and after.
% Fails (error) when a sweep is lost, repeated or reordered, a sync word or
% a counter's low byte is wrong, or the cycles leave memory, threads or files behind.  The memory,
% thread and file counts come from /proc: Linux only (skipped elsewhere).
%   octave-cli --eval "addpath('build/mex', 'tests/soak'); soak(600, 200)"
  if nargin < 3, seed = 1; end
  rand('state', seed);
  setenv('AMPSIM_STATUS', '0x86000000');
  setenv('AMPSIM_CHANNELS', '610');
  setenv('AMPSIM_RATE', '16384');
  s = start_session();
  [channels, rate] = deal(double(s{9}), double(s{10}));
  if channels ~= 610 || rate ~= 16384
    stop_session(s);
    error('soak:layout', 'the simulator runs %d channels at %d Hz, not 610 at 16384', channels, rate);
  end
  printf('soak: %d channels at %d Hz (%.1f MB/s), fetching at random intervals of 1 to 200 ms for %d s\n', ...
         channels, rate, channels * 4 * rate / 1e6, seconds);
  fflush(stdout);

  % The fetch loop.  next: the index the next sweep must carry; missing:
  % indices skipped so far (a late arrival of one counts as reordered).  A
  % counter is read as the index nearest to next that it can stand for (a
  % fetch sees far less than the 2^23 sweeps, 8.5 minutes, either way).
  ptr = s{15};
  next = 0; lost = 0; repeated = 0; reordered = 0; bad_sync = 0; bad_counter = 0; missing = [];
  latency = zeros(1, 0); biggest = 0;
  t0 = tic();
  next_report = min(60, seconds / 2);
  try
    while toc(t0) < seconds
      pause(0.001 + 0.199 * rand);
      tc = tic();
      [data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
      latency(end + 1) = toc(tc);
      n = columns(data);
      biggest = max(biggest, n);
      if n > 0
        bad_sync += nnz(data(1, :) ~= -256);
        words = double(typecast(data(end, :), 'uint32'));
        bad_counter += nnz(mod(words, 256));
        counter = next + mod(floor(words / 256) - next + 2^23, 2^24) - 2^23;
        if counter(1) == next && all(diff(counter) == 1)
          next += n;
        else
          for c = counter
            if c == next
              next += 1;
            elseif c > next
              lost += c - next;
              missing = [missing, next:min(c - 1, next + 1e5)];
              next = c + 1;
            elseif any(missing == c)
              reordered += 1;
              lost -= 1;
              missing(missing == c) = [];
            else
              repeated += 1;
            end
          end
        end
      end
      if toc(t0) >= next_report
        printf('soak: %4.0f s: %d sweeps, %d lost\n', toc(t0), next, lost);
        fflush(stdout);
        next_report += 60;
      end
    end
  catch err
    stop_session(s);
    rethrow(err);
  end
  elapsed = toc(t0);
  stop_session(s);
  printf('soak: %d sweeps received in %.1f s (%.0f per second): %d lost, %d repeated, %d reordered, %d bad sync words\n', ...
         next, elapsed, next / elapsed, lost, repeated, reordered, bad_sync);
  report_latency('fetch', latency, biggest);

  % The same through acq_open: its reader thread drains the ring whatever
  % the script does, so that a stall far longer than the ring (1.9 s) loses
  % nothing while the history lasts.
  stall = min(30, seconds / 3);
  printf('soak: acq_open at %d channels, reading at random intervals for %d s with a %.0f-s stall\n', ...
         channels, seconds, stall);
  fflush(stdout);
  s = acq_open(ampsim_path(), 'quiet', true, 'history', stall + 10);
  expected = 0; broken = 0; read_latency = zeros(1, 0); biggest = 0;
  t0 = tic();
  stalled = false;
  try
    while toc(t0) < seconds
      if ! stalled && toc(t0) > (seconds - stall) / 2
        pause(stall);
        stalled = true;
      else
        pause(0.001 + 0.199 * rand);
      end
      tc = tic();
      [data, s] = acq_read(s);
      read_latency(end + 1) = toc(tc);
      n = columns(data);
      biggest = max(biggest, n);
      if n > 0
        words = double(typecast(data(end, :), 'uint32'));
        broken += nnz(words ~= mod(expected + (0:n - 1), 2 ^ 24) * 256) + nnz(data(1, :) ~= -256);
        expected += n;
      end
    end
    st = acq_status(s);
  catch err
    acq_close(s);
    rethrow(err);
  end
  acq_close(s);
  printf(['soak: acq_open: %d sweeps in %.1f s, %d lost, %d out of sequence or without the sync word; ' ...
          'reader thread %.2f %% of one core\n'], expected, st.seconds, st.lost, broken, 100 * st.reader_cpu / st.seconds);
  report_latency('acq_read', read_latency, biggest);

  % Start/stop cycles, and open/read/close cycles: nothing may stay behind.
  linux = exist('/proc/self/status', 'file') == 2;
  for k = 1:3, stop_session(start_session()); open_read_close(); end   % warm-up: the allocator settles
  if linux, before = proc_usage(); end
  tc = tic();
  for k = 1:cycles, stop_session(start_session()); open_read_close(); end
  took = toc(tc);
  failed = {};
  if linux
    after = proc_usage();
    growth = (after.rss - before.rss) / 1024;
    printf(['soak: %d start/stop and open/read/close cycles in %.1f s: resident memory %.1f -> %.1f MB (%+.1f MB, limit +16 MB), ' ...
            'threads %d -> %d, open files %d -> %d\n'], cycles, took, before.rss / 1024, after.rss / 1024, growth, ...
           before.threads, after.threads, before.files, after.files);
    if growth > 16, failed{end + 1} = sprintf('resident memory grew by %.1f MB', growth); end
    if after.threads ~= before.threads, failed{end + 1} = 'the thread count changed'; end
    if after.files ~= before.files, failed{end + 1} = 'the count of open files changed'; end
  else
    printf('soak: %d start/stop cycles in %.1f s (no /proc: memory, threads and files not compared)\n', cycles, took);
  end
  unsetenv('AMPSIM_STATUS');
  unsetenv('AMPSIM_CHANNELS');
  unsetenv('AMPSIM_RATE');
  if lost > 0, failed{end + 1} = sprintf('%d sweeps lost', lost); end
  if st.lost > 0, failed{end + 1} = sprintf('%d sweeps lost by acq_open''s session', st.lost); end
  if broken > 0, failed{end + 1} = sprintf('%d sweeps of acq_open''s session out of sequence', broken); end
  if expected == 0, failed{end + 1} = 'no sweep read from acq_open''s session'; end
  if repeated > 0, failed{end + 1} = sprintf('%d sweeps repeated', repeated); end
  if reordered > 0, failed{end + 1} = sprintf('%d sweeps reordered', reordered); end
  if bad_sync > 0, failed{end + 1} = sprintf('%d sweeps without the sync word', bad_sync); end
  if bad_counter > 0, failed{end + 1} = sprintf('%d sweep counters with a low byte other than 0', bad_counter); end
  if next == 0, failed{end + 1} = 'no sweep received'; end
  if ~isempty(failed), error('soak:failed', 'soak failed: %s', strjoin(failed, '; ')); end
  printf('soak: passed\n');
end

function s = start_session()
  s = cell(1, 15);
  evalc('[s{:}] = acq_start(ampsim_path());');
end

function stop_session(s)
  acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
end

function open_read_close()
  s = acq_open(ampsim_path(), 'quiet', true, 'history', 1);
  [~, s] = acq_read(s);
  acq_close(s);
end

function report_latency(what, latency, biggest)
  p = sort(latency) * 1000;
  at = @(q) p(max(1, ceil(q * numel(p))));
  printf('soak: %s latency over %d calls: p50 %.3f ms, p90 %.3f ms, p99 %.3f ms, max %.3f ms; up to %d sweeps per call\n', ...
         what, numel(p), at(0.5), at(0.9), at(0.99), p(end), biggest);
end

% Resident memory (kB), threads and open files of this process.
function u = proc_usage()
  status = fileread('/proc/self/status');
  u.rss = str2double(regexp(status, 'VmRSS:\s*(\d+)', 'tokens', 'once'){1});
  u.threads = numel(readdir('/proc/self/task')) - 2;
  u.files = numel(readdir('/proc/self/fd')) - 2;
end
