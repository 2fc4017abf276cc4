% OCTAVE_TABLE  The toolbox against what an Octave user would write instead,
% in one table: case, our time, the Octave baseline's time, their ratio and
% the ratio we aim for.
%
% The factorizations come first: their rows are measured in PROCESSES fresh
% Octave processes (bench/icf_rows.m), and each row shows the median of the
% processes and how far the farthest one lies from it (the spread, which we
% aim to keep within SPREAD_AIM of the median); then the same after each
% process allocated and freed 2 GB of Octave arrays.  Then gram_square's
% first calls in a fresh process against its later ones
% (bench/gram_first_calls.m), and the rows of every bench/compare_*.m
% function, each a struct array with fields
%   name      the case, as printed
%   ours      our time in seconds (best of a few runs)
%   baseline  the Octave baseline's time in seconds, measured in the same run
%             (NaN for rows that only show how our cost grows)
%   target    the ratio baseline/ours we aim for (NaN when there is none)
%   floor     (optional) the least time the host allows for the case
% Run from the top of the source tree with the MEX files on the path:
%   octave-cli --eval "addpath('build/mex'); addpath('bench'); octave_table"
% (set PROCESSES before, for a quicker look with fewer processes).
if ~exist('PROCESSES', 'var')
  PROCESSES = 5;
end
SPREAD_AIM = 0.15;
FIRST_CALLS_AIM = 1.3;

blas = version('-blas');
printf('Octave %s on %s; BLAS: %s\n', version(), computer(), strtrim(blas));
printf('threads: OMP_NUM_THREADS=%s OPENBLAS_NUM_THREADS=%s, %d processors\n', ...
       getenv('OMP_NUM_THREADS'), getenv('OPENBLAS_NUM_THREADS'), nproc());
load_text = @() strtrim(fileread('/proc/loadavg'));
if exist('/proc/loadavg', 'file')
  printf('load average at the start (1, 5, 15 min): %s\n', load_text());
end
printf('\n');

here = fileparts(mfilename('fullpath'));
mexdir = fileparts(which('gram_square'));
octave = sprintf('"%s" --no-history --no-init-file --quiet --no-window-system', ...
                 fullfile(OCTAVE_HOME(), 'bin', 'octave-cli'));
% Runs `call` in a fresh Octave process with the MEX files and bench/ on the
% path; it saves its results to the file it is given, which is returned
% loaded.
function r = in_fresh_process(octave, mexdir, here, call)
  file = [tempname() '.txt'];
  command = sprintf('%s --eval "addpath(''%s''); addpath(''%s''); %s"', octave, mexdir, here, ...
                    strrep(call, '@FILE@', file));
  status = system(command);
  if status ~= 0
    error('octave_table:process', 'the measuring process failed: %s', command);
  end
  r = load(file);
  delete(file);
end

missed = 0;
printf('Factorizations: median of %d fresh Octave processes (each the best of 3 to 5 runs),\n', PROCESSES);
printf('the farthest process as a share of the median (aim: at most %.0f %%), and the aim at sigma = 6\n', ...
       100 * SPREAD_AIM);
for condition = {'fresh', 'after 2 GB'}
  runs = {};
  for p = 1:PROCESSES
    r = in_fresh_process(octave, mexdir, here, sprintf('icf_rows(''%s'', ''@FILE@'')', condition{1}));
    runs{end + 1} = r.rows;
  end
  if strcmp(condition{1}, 'fresh')
    printf('%-36s %9s %10s %8s %17s %7s %7s\n', 'case', 'ours s', 'baseline s', 'ratio', ...
           'ratio range', 'spread', 'aim');
  else
    printf('after each process allocated and freed 2 GB of Octave arrays:\n');
  end
  for k = 1:numel(runs{1})
    ours = cellfun(@(rows) rows(k).ours, runs);
    base = cellfun(@(rows) rows(k).baseline, runs);
    ratio = base ./ ours;
    mid = median(ratio);
    spread = max(abs(ratio - mid)) / mid;
    row = runs{1}(k);
    note = '';
    if row.sigma == 6 || isnan(row.sigma)
      if mid >= row.target
        aim = sprintf('%5.1fx met', row.target);
      else
        aim = sprintf('%5.1fx below', row.target);
        missed = missed + 1;
      end
    else
      aim = '-';
    end
    if spread > SPREAD_AIM
      note = '  spread above aim';
      missed = missed + 1;
    end
    printf('%-36s %9.4f %10.4f %7.2fx %7.2fx - %5.2fx %6.0f%% %s%s\n', row.name, median(ours), median(base), ...
           mid, min(ratio), max(ratio), 100 * spread, aim, note);
    fflush(stdout);
  end
end

printf('\ngram_square polynomial, M = 2000, N = 64: its first three calls in a fresh process against the\n');
printf('later ones (aim: at most %.1fx), with the page faults of each call (the host''s copy of the 32 MB output)\n', ...
       FIRST_CALLS_AIM);
for condition = {'fresh', 'after 33 MB'}
  r = in_fresh_process(octave, mexdir, here, sprintf('gram_first_calls(''%s'', ''@FILE@'')', condition{1}));
  later = median(r.times(4:end));
  first = max(r.times(1:3)) / later;
  mark = '';
  if first > FIRST_CALLS_AIM
    mark = '  above aim';
    missed = missed + 1;
  end
  printf('%-12s first %5.1f %5.1f %5.1f ms, later %5.1f ms: %.2fx%s; faults %d %d %d, later %d\n', condition{1}, ...
         1e3 * r.times(1:3), 1e3 * later, first, mark, r.faults(1:3), round(median(r.faults(4:end))));
end
printf('\n');

scripts = dir(fullfile(here, 'compare_*.m'));
printf('%-58s %11s %11s %8s %8s\n', 'case', 'ours s', 'baseline s', 'ratio', 'target');
for k = 1:numel(scripts)
  [~, fn] = fileparts(scripts(k).name);
  rows = feval(fn);
  for r = rows(:)'
    ratio = r.baseline / r.ours;
    if isnan(r.baseline)
      printf('%-58s %11.4f %11s %8s %8s\n', r.name, r.ours, '-', '-', '-');
    elseif isfield(r, 'floor') && ~isnan(r.floor)
      % No aim beyond the host's copy: the floor beside the row.
      printf('%-58s %11.4f %11.4f %7.2fx %8s  host''s copy is the floor: %.4f s, at most %.2fx\n', r.name, ...
             r.ours, r.baseline, ratio, '-', r.floor, r.baseline / r.floor);
    elseif isnan(r.target)
      printf('%-58s %11.4f %11.4f %7.2fx %8s\n', r.name, r.ours, r.baseline, ratio, '-');
    else
      mark = '';
      if ratio < r.target
        mark = '  below target';
        missed = missed + 1;
      end
      printf('%-58s %11.4f %11.4f %7.2fx %7.1fx%s\n', r.name, r.ours, r.baseline, ratio, r.target, mark);
    end
    fflush(stdout);
  end
end
if exist('/proc/loadavg', 'file')
  printf('\nload average at the end (1, 5, 15 min): %s\n', load_text());
end
printf('\n%d case(s) below target\n', missed);
