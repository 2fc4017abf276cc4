% Recordings of acq_open sessions, as a lab makes them: a 20-s recording of
% the oddball paradigm, one killed with SIGKILL after 5 s, one through a 3-s
% script stall at 610 channels x 16384 Hz, and a replay of the first
% recorded again.  bdf_read checks them here against what the session
% returned; the checks with MNE-Python, biosig and EDFlib (ctest:
% acquisition_record_*) read the files and reference words this script
% leaves in build/acquisition/recordings.
build = getenv('EEGMEX_BUILD_DIR');
here = fileparts(mfilename('fullpath'));
addpath(fullfile(here, '..', '..', 'bdf', 'tests'));       % write_reference
out = fullfile(build, 'acquisition', 'recordings');
if ! isfolder(out), mkdir(out); end
vars = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_PARADIGM', 'AMPSIM_SEED', 'AMPSIM_REPLAY'};
for k = 1:numel(vars), unsetenv(vars{k}); end
counter = @(words) double(bitshift(typecast(words, 'uint32'), -8));   % the simulator's sweep counter
recorded = @(text) str2double(regexp(text, 'Recorded (\d+) sweeps \(\S+ s\) to .+, 0 lost\.', 'tokens', 'once'));

% ---- A 20-s recording: every sweep and onset the session returned is in the file.
setenv('AMPSIM_PARADIGM', 'oddball');
rec = fullfile(out, 'session.bdf');
s = acq_open(ampsim_path(), 'quiet', true, 'record', rec, 'overwrite', true);
try
  acq_open(ampsim_path(), 'quiet', true, 'record', rec);
catch err
  assert(err.identifier, 'acq_open:alreadyOpen');   % the driver is busy; the file is not touched
end
data = zeros(282, 0, 'int32');
t0 = tic();
while toc(t0) < 20
  pause(0.1);
  [d, s] = acq_read(s);
  data = [data, d];
end
ev = acq_events(s);
st = acq_status(s);
assert(st.record && isempty(st.record_error) && st.records_written >= 19 && st.sweeps_written >= 19 * 2048);
text = evalc('acq_close(s);');
n = recorded(text);
assert(n >= columns(data) && n < columns(data) + 2 * 2048 && mod(n, 2048) == 0, text);
[file, hdr, fev] = bdf_read(rec, 'raw');
assert(hdr.rate, 2048);
assert(hdr.labels([1 256 257 265 280 281]), {'A1', 'H32', 'EXG1', 'EXTRA1', 'EXTRA16', 'Status'});
assert(columns(file), n);
assert(file(:, 1:columns(data)), data([3:end 2], :));       % all but Sync, Status last, word for word
assert(counter(file(end - 1, :)), 0:n - 1);
ev_in = ev.sweep <= columns(data);
assert([fev.sweep(fev.sweep <= columns(data)) fev.code(fev.sweep <= columns(data))], [ev.sweep(ev_in) ev.code(ev_in)]);
assert(nnz(ev_in) >= 70);
write_reference(fullfile(out, 'session'), data([3:end 2], :), struct('sweep', ev.sweep(ev_in), 'code', ev.code(ev_in)));
% An existing file is refused unless 'overwrite'.
try
  acq_open(ampsim_path(), 'quiet', true, 'record', rec);
  error('test:noError', 'an existing file was recorded over');
catch err
  assert(err.identifier, 'acq_open:fileExists');
end

% ---- Killed with SIGKILL 5 s into its recording: a whole file up to its
% last record.  The oddball paradigm with seed 1, as bdf_make_test_file
% writes its reference.
killed = fullfile(out, 'killed.bdf');
if exist(killed, 'file'), delete(killed); end
script = sprintf(['addpath(''%s''); s = acq_open(ampsim_path(), ''quiet'', true, ''record'', ''%s''); ' ...
                  'fid = fopen(''%s.started'', ''w''); fclose(fid); pause(60);'], fileparts(which('acq_open')), killed, killed);
[status, pid] = system(sprintf('AMPSIM_PARADIGM=oddball AMPSIM_SEED=1 octave-cli --no-init-file --no-history --quiet --eval "%s" > /dev/null 2>&1 & echo $!', script));
pid = strtrim(pid);
waited = tic();
while ! exist([killed '.started'], 'file') && toc(waited) < 30, pause(0.1); end
pause(5.2);
system(['kill -KILL ' pid]);
pause(0.5);
delete([killed '.started']);
[k, khdr] = bdf_read(killed, 'channels', 'EXTRA16', 'raw');
assert(khdr.seconds >= 4, sprintf('the killed recording holds %.2f s', khdr.seconds));
assert(counter(k), 0:columns(k) - 1);
assert(system(sprintf('"%s" "%s" --seconds %d > /dev/null', fullfile(build, 'bdf', 'bdf_make_test_file'), ...
                      fullfile(out, 'killed_reference'), ceil(khdr.seconds) + 2)) == 0);
% For the strict readers: a repaired copy (a partial last record dropped,
% the count set).
copyfile(killed, fullfile(out, 'killed_repaired.bdf'));
bdf_repair(fullfile(out, 'killed_repaired.bdf'));

% ---- A 3-s stall at 610 channels x 16384 Hz (the ring holds 1.9 s): the
% file loses nothing, and its sweep counter says so in any reader.
unsetenv('AMPSIM_PARADIGM');
setenv('AMPSIM_STATUS', '0x86000000');
stall = fullfile(out, 'stall.bdf');
s = acq_open(ampsim_path(), 'quiet', true, 'record', stall, 'overwrite', true);
pause(3);
[d, s] = acq_read(s);
text = evalc('acq_close(s);');
unsetenv('AMPSIM_STATUS');
n = recorded(text);
assert(columns(d) > 30720 && n >= columns(d));
c = bdf_read(stall, 'channels', 'EXG608', 'raw');       % the counter: 608 ExG, no extra channel
assert(counter(c), 0:n - 1);
assert(c(1:columns(d)), d(end, :));
delete(stall);                                  % 120 MB

% ---- Replaying the 20-s recording and recording the replay: the same
% samples and onsets.
setenv('AMPSIM_REPLAY', rec);
again = fullfile(out, 'replayed.bdf');
s = acq_open(ampsim_path(), 'quiet', true, 'record', again, 'overwrite', true);
waited = tic();
while acq_status(s).received < columns(file) && toc(waited) < 40, pause(0.2); end
pause(1.2);
st = acq_status(s);
assert(st.stalled && st.received == columns(file), 'the replay did not end where the file does');
evalc('acq_close(s);');
unsetenv('AMPSIM_REPLAY');
[file2, ~, fev2] = bdf_read(again, 'raw');
assert(file2, file);
assert([fev2.sweep fev2.code], [fev.sweep fev.code]);
printf('acq_open recordings: 20 s word for word, killed after 5 s, a 3-s stall at 610 channels, replayed and recorded again\n');
