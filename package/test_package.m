function test_package (step, tarball, top, varargin)
  % One step of the package check (package/test_package.sh runs them in
  % turn, each in an Octave session of its own, HOME being the user's):
  %   test_package('private', TARBALL, TOP)  a lab member's private install
  %     with the README's commands, as root too: the machine's global list
  %     keeps its content.  Then the package in use: help texts and every
  %     name they cite, a factorization, an acquisition on the simulated
  %     amplifier, the BCI demo and pkg test.
  %   test_package('shared', TARBALL, TOP)  another user's shared install
  %     (-global, -verbose) into stand-ins for the system's folders and list.
  %   test_package('again', TARBALL, TOP, SHARED, LOG, BUILD)  the lab
  %     member's next session on that machine (SHARED: the stand-ins): the
  %     README's commands load the private copy, not the shared one; the
  %     shared install compiled like the CMake build BUILD (its commands in
  %     LOG); the private copy uninstalled, the global list untouched.
  % Any failure is an error.
  private = fullfile (getenv ('HOME'), 'octave-private');
  switch (step)
    case 'private'
      machine_list = pkg ('global_list');
      before = bytes_of (machine_list);
      % The README's private install, word for word.
      where = fullfile (getenv ('HOME'), 'octave-private');   % any folder of your own
      mkdir (where);
      pkg ('prefix', where, where);
      pkg ('local_list', fullfile (where, 'octave_packages'));
      pkg ('install', '-local', tarball);
      pkg ('load', 'eegmex');
      assert (isequal (bytes_of (machine_list), before), 'the private install changed %s', machine_list);
      info = pkg ('list', 'eegmex');
      assert (numel (info) == 1 && strncmp (info{1}.dir, private, numel (private)));
      use_package (info{1}, top);
      printf ('eegmex package: private install (euid %d) used; %s unchanged\n', geteuid (), machine_list);

    case 'shared'
      shared = fullfile (getenv ('HOME'), 'shared');
      mkdir (shared);
      pkg ('global_list', fullfile (shared, 'octave_packages'));
      pkg ('prefix', shared, shared);
      pkg ('install', '-global', '-verbose', tarball);
      info = pkg ('list', 'eegmex');
      assert (numel (info) == 1 && strncmp (info{1}.dir, shared, numel (shared)));

    case 'again'
      [shared, log_file, build] = varargin{:};
      shared_list = fullfile (shared, 'octave_packages');
      pkg ('global_list', shared_list);   % this machine's global list holds the shared copy
      before = bytes_of (shared_list);
      % The README's next session.
      pkg ('local_list', fullfile (getenv ('HOME'), 'octave-private', 'octave_packages'));
      pkg load eegmex
      info = pkg ('list', 'eegmex');
      assert (numel (info) == 1 && strncmp (info{1}.dir, private, numel (private)), 'not the private copy');
      assert (strncmp (which ('icf_rbf'), private, numel (private)));
      [~, perm] = icf_rbf ([0 1 3], 1, 0.01);
      assert (perm, [0 2 1]);

      % The shared install compiled every source as the CMake build does.
      compared = compare_build_flags (fileread (log_file), build, 'pkg install');
      lists = fileread (fullfile (top, 'eegmex_sources.mk'));
      list = @(name) regexp (regexp (lists, [name ' :=([^\n]*)'], 'tokens', 'once'){1}, '\S+', 'match');
      sources = {};
      for n = [list('EEGMEX_MEX'), list('EEGMEX_SHARED')]
        sources = [sources, list([n{1} '_SOURCES'])];
      end
      assert (isempty (setdiff (sources, compared)), 'pkg install printed no compile command for %s', ...
              strjoin (setdiff (sources, compared), ', '));

      pkg ('unload', 'eegmex');
      pkg ('uninstall', '-local', 'eegmex');
      assert (! isfolder (info{1}.dir));
      left = pkg ('list', 'eegmex');
      assert (numel (left) == 1 && strncmp (left{1}.dir, shared, numel (shared)), 'the shared copy is gone');
      assert (isequal (bytes_of (shared_list), before), 'the private uninstall changed the global list');
      printf (['eegmex package: a shared install beside it left the private copy alone; %d sources compiled ' ...
               'as in the CMake build; uninstalled\n'], numel (compared));

    otherwise
      error ('test_package: unknown step %s', step);
  end
end

function use_package (info, top)
  % The MEX files with their help, the demos and the driver in one folder.
  mexdir = fileparts (which ('icf_rbf'));
  assert (strcmp (which ('icf_rbf'), fullfile (mexdir, 'icf_rbf.mex')));
  assert (exist (fullfile (mexdir, 'icf_rbf.m'), 'file') == 2);
  assert (! isempty (strfind (help ('icf_rbf'), 'Pivoted incomplete Cholesky factorization')));
  assert (! isempty (strfind (help ('eegmex'), 'demo_bci')));
  [G, perm] = icf_rbf ([0 1 3], 1, 0.01);
  assert (perm, [0 2 1]);
  assert (G, [1 0 0; 0.011109 0.999938 0; 0.606531 0.128605 0.784590], 5e-7);

  % Every help text of the source tree is in the package, and every name a
  % help text there cites resolves to the package's own files.
  lists = fileread (fullfile (top, 'eegmex_sources.mk'));
  list = @(name) regexp (regexp (lists, [name ' :=([^\n]*)'], 'tokens', 'once'){1}, '\S+', 'match');
  names = list ('EEGMEX_MEX');
  files = [cellfun(@(n) list ([n '_HELP']){1}, names, 'UniformOutput', false), list('EEGMEX_MFILES'), ...
           list('EEGMEX_DEMOS')];
  toolbox = cellfun (@(f) nthargout (2, @fileparts, f), files, 'UniformOutput', false);
  installed = [glob(fullfile (info.dir, '*.m')); glob(fullfile (mexdir, '*.m'))]';
  [~, here] = cellfun (@fileparts, installed, 'UniformOutput', false);
  assert (isempty (setdiff (toolbox, here)), 'not in the package: %s', strjoin (setdiff (toolbox, here), ', '));
  missing = help_citations (installed, toolbox, {info.dir, mexdir});
  assert (isempty (missing), 'help texts of the package cite names that do not resolve:\n  %s', ...
          strjoin (missing, '\n  '));

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

  % The BCI demo runs from the package, shortened.
  out = evalc ("r = demo_bci ('train_seconds', 8, 'online_seconds', 2, 'figures', 'none');");
  assert (r.lost == 0 && r.epochs > 0, 'demo_bci from the package:\n%s', out);

  % The examples in the help stubs.
  out = evalc ('pkg (''test'', ''eegmex'')');
  disp (out);
  pass = regexp (out, 'PASS\s+(\d+)', 'tokens', 'once');
  fail = regexp (out, 'FAIL\s+(\d+)', 'tokens', 'once');
  assert (! isempty (pass) && ! isempty (fail), 'pkg test printed no summary');
  assert (str2double (fail{1}), 0);
  assert (str2double (pass{1}) > 0);
end

function b = bytes_of (file)
  % A file's content, or 'absent'.
  [fid, msg] = fopen (file, 'r');
  if (fid < 0)
    b = 'absent';
  else
    b = fread (fid, Inf, '*uint8');
    fclose (fid);
  end
end
