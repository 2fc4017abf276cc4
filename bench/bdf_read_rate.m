function bdf_read_rate(build)
% BDF_READ_RATE(BUILD)  bdf_read in Octave on a 2-s file of 610 words x
% 16384 Hz (609 channels, 60 MB) that our writer made: seconds of data read
% per second, best of five, for doubles and for 'raw' int32 words; and, as
% the host's own floor for an output of that size, the time Octave takes
% to make a double array of it (ones) and to copy one (x + 0).
  f = [tempname() '.bdf'];
  tool = fullfile(build, 'bdf', 'bdf_make_test_file');
  assert(system(sprintf('"%s" "%s" --status 0x86000000 --seconds 2 > /dev/null', tool, f(1:end-4))) == 0);
  cleanup = onCleanup(@() delete_all(f));
  seconds = 2;
  best = @(fn) min(arrayfun(@(k) timed(fn), 1:5));
  t_double = best(@() bdf_read(f));
  t_raw = best(@() bdf_read(f, 'raw'));
  x = bdf_read(f);
  t_copy = best(@() x + 0);
  t_ones = best(@() ones(size(x)));
  printf('bdf_read, 609 channels x 16384 Hz, 2 s: double %.0fx real time (%.1f ms), raw %.0fx (%.1f ms); ', ...
         seconds / t_double, 1e3 * t_double, seconds / t_raw, 1e3 * t_raw);
  printf('Octave alone, for an array of the double output''s size: ones %.1f ms, a copy %.1f ms\n', ...
         1e3 * t_ones, 1e3 * t_copy);
end

function t = timed(fn)
  tic;
  y = fn();
  t = toc;
end

function delete_all(f)
  [d, n] = fileparts(f);
  delete(fullfile(d, [n '.*']));
end
