function test_package (tarball)
  % Installs the package into a prefix in the current folder (never the
  % system's or the user's package lists), loads it, reads a help text, runs a short
  % acquisition session on the simulated amplifier and the package's tests,
  % then uninstalls it.  Any failure is an error.
  prefix = fullfile (pwd (), 'prefix');
  mkdir (prefix);
  pkg ('prefix', prefix, prefix);
  % Both package lists in the temporary prefix: as root, pkg acts on the
  % global list unless told otherwise.
  pkg ('local_list', fullfile (prefix, 'octave_packages'));
  pkg ('global_list', fullfile (prefix, 'octave_global_packages'));
  pkg ('install', '-local', tarball);
  pkg ('load', 'eegmex');
  info = pkg ('list', 'eegmex');
  assert (numel (info), 1);
  assert (strncmp (info{1}.dir, prefix, numel (prefix)));

  % The MEX files with their help and the driver in one folder.
  mexdir = fileparts (which ('icf_rbf'));
  assert (strcmp (which ('icf_rbf'), fullfile (mexdir, 'icf_rbf.mex')));
  assert (exist (fullfile (mexdir, 'icf_rbf.m'), 'file') == 2);
  text = help ('icf_rbf');
  assert (! isempty (strfind (text, 'Pivoted incomplete Cholesky factorization')));
  assert (! isempty (strfind (help ('eegmex'), 'icf_rbf')));
  [G, perm] = icf_rbf ([0 1 3], 1, 0.01);
  assert (perm, [0 2 1]);
  assert (G, [1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0.784590], 5e-7);

  % A short acquisition on the simulator: whole sweeps, none lost.
  lib = ampsim_path ();
  assert (strcmp (fileparts (lib), mexdir) && exist (lib, 'file') == 2);
  for v = {'AMPSIM_STATUS', 'AMPSIM_RATE', 'AMPSIM_CHANNELS', 'AMPSIM_FAIL', 'AMPSIM_STALL', ...
           'AMPSIM_OFFSET', 'AMPSIM_MIDSWEEP', 'AMPSIM_BADPOINTER', 'AMPSIM_START', 'AMPSIM_LOG'}
    unsetenv (v{1});
  end
  s = cell (1, 15);
  [~, s{:}] = evalc ('acq_start (lib)');   % its progress lines are not checked here
  ptr = s{15};
  data = zeros (double (s{9}), 0, 'int32');
  for k = 1:6
    pause (0.05);
    [chunk, ptr] = acq_fetch (s{1}, s{2}, s{6}, s{8}, s{9}, ptr);
    data = [data, chunk];
  end
  evalc ('acq_stop (s{1}, s{2}, s{4}, s{7}, s{8})');
  assert (columns (data) > 0);
  assert (all (data(1, :) == -256));
  counter = double (typecast (data(end, :), 'uint32'));   % the sweep counter, in the upper three bytes
  assert (all (mod (diff (counter), 2^32) == 256));

  % The examples in the help stubs.
  out = evalc ('pkg (''test'', ''eegmex'')');
  disp (out);
  pass = regexp (out, 'PASS\s+(\d+)', 'tokens', 'once');
  fail = regexp (out, 'FAIL\s+(\d+)', 'tokens', 'once');
  assert (! isempty (pass) && ! isempty (fail), 'pkg test printed no summary');
  assert (str2double (fail{1}), 0);
  assert (str2double (pass{1}) > 0);

  pkg ('unload', 'eegmex');
  pkg ('uninstall', '-local', 'eegmex');
  left = pkg ('list', 'eegmex');
  assert (isempty (left), 'still installed: %s', disp (left));
  printf ('eegmex package: installed, %s tests passed, uninstalled\n', pass{1});
end
