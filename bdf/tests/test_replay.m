% The simulated amplifier replays a BDF file (AMPSIM_REPLAY): a recording of
% ours plays back word for word at its rate and then stands still, or starts
% again with AMPSIM_REPLAY_LOOP=1; a file without the speed bits in Status
% gets its layout from its rate and labels; a file that fits no layout is
% refused.
build = getenv('EEGMEX_BUILD_DIR');
dir_ = tempname();
mkdir(dir_);
confirm_recursive_rmdir(false);
cleanup = onCleanup(@() rmdir(dir_, 's'));
prefix = fullfile(dir_, 'rec');
assert(system(sprintf('"%s" "%s" --seconds 0.5 --seed 3 > /dev/null', ...
                      fullfile(build, 'bdf', 'bdf_make_test_file'), prefix)) == 0);
f = [prefix '.bdf'];
[file, hdr] = bdf_read(f, 'raw');
n = columns(file);                           % 2048 sweeps: 1 s at 2048 Hz
want = [repmat(int32(-256), 1, n); file([end 1:end-1], :)];   % sync, Status, the channels

% Reads sweeps until `count` have come or none came for 0.5 s.
function data = replay(count)
  s = acq_open(ampsim_path(), 'quiet', true);
  c = onCleanup(@() acq_close(s));
  data = zeros(s.channels, 0, 'int32');
  idle = tic;
  while columns(data) < count && toc(idle) < 0.5
    pause(0.05);
    [d, s] = acq_read(s);
    if ! isempty(d)
      data = [data d];
      idle = tic;
    end
  end
end

unwind_protect
  setenv('AMPSIM_REPLAY', f);
  data = replay(2 * n);
  assert(size(data), [282 n]);
  assert(data, want);

  setenv('AMPSIM_REPLAY_LOOP', '1');
  data = replay(n + 300);
  assert(data(:, n + (1:300)), want(:, 1:300));
  unsetenv('AMPSIM_REPLAY_LOOP');

  % Without the speed bits (Status's top byte 0): the layout of its rate and
  % labels, whose bits the status word then carries.
  fid = fopen(f);
  bytes = fread(fid, Inf, 'uint8=>uint8');
  fclose(fid);
  top = 256 * 282 + 280 * 3 * n + 3 * (0:n - 1) + 3;
  bytes(top) = 0;
  g = fullfile(dir_, 'foreign.bdf');
  fid = fopen(g, 'w');
  fwrite(fid, bytes);
  fclose(fid);
  assert(all(bitshift(bdf_read(g, 'channels', 'Status', 'raw'), -24) == 0));
  setenv('AMPSIM_REPLAY', g);
  assert(replay(2 * n), want);

  % A label no layout has: refused.
  bytes(257:259) = 'Fp1';
  fid = fopen(g, 'w');
  fwrite(fid, bytes);
  fclose(fid);
  try
    replay(1);
    error('test:noError', 'a file that fits no layout was replayed');
  catch err
    assert(! strcmp(err.identifier, 'test:noError'), err.message);
  end
unwind_protect_cleanup
  unsetenv('AMPSIM_REPLAY');
  unsetenv('AMPSIM_REPLAY_LOOP');
end_unwind_protect
printf('replay: a recording word for word, then still; looped; layout from rate and labels; refused when none fits\n');
