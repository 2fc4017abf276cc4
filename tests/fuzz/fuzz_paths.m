function paths = fuzz_paths(workdir)
% FUZZ_PATHS  The driver paths the fuzzer gives acq_start: the simulated
% amplifier first, then libraries without the driver's exports, files that
% are no library, directories and missing paths.  The FIFO the runner makes
% in WORKDIR (opening it blocks until a writer comes) is drawn apart, rarely.
  mexdir = fileparts(which('acq_start'));
  paths = {ampsim_path(), fullfile(mexdir, 'gram_pair.mex'), '/lib/x86_64-linux-gnu/libm.so.6', ...
           fullfile(workdir, 'not_a_library.so'), fullfile(workdir, 'empty.so'), mexdir, workdir, ...
           fullfile(workdir, 'missing', 'libdriver.so'), '/dev/null', '/dev/zero', 'libampsim.so'};
  stubs = sort(glob(fullfile(mexdir, '..', 'acquisition', 'stubs', '*.so')));
  paths = [paths, stubs(:)'];
end
