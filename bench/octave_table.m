% OCTAVE_TABLE  The toolbox against what an Octave user would write instead,
% in one table: case, our time, the Octave baseline's time, their ratio and
% the ratio we aim for.  Every bench/compare_*.m function adds its rows; each
% returns a struct array with fields
%   name      the case, as printed
%   ours      our time in seconds (best of a few runs)
%   baseline  the Octave baseline's time in seconds, measured in the same run
%             (NaN for rows that only show how our cost grows)
%   target    the ratio baseline/ours we aim for (NaN when there is none)
% Run from the top of the source tree with the MEX files on the path:
%   octave-cli --eval "addpath('build/mex'); addpath('bench'); octave_table"
blas = version('-blas');
printf('Octave %s on %s; BLAS: %s\n', version(), computer(), strtrim(blas));
printf('threads: OMP_NUM_THREADS=%s OPENBLAS_NUM_THREADS=%s, %d processors\n\n', ...
       getenv('OMP_NUM_THREADS'), getenv('OPENBLAS_NUM_THREADS'), nproc());
here = fileparts(mfilename('fullpath'));
scripts = dir(fullfile(here, 'compare_*.m'));
printf('%-58s %11s %11s %8s %8s\n', 'case', 'ours s', 'baseline s', 'ratio', 'target');
missed = 0;
for k = 1:numel(scripts)
  [~, fn] = fileparts(scripts(k).name);
  rows = feval(fn);
  for r = rows(:)'
    ratio = r.baseline / r.ours;
    if isnan(r.baseline)
      printf('%-58s %11.4f %11s %8s %8s\n', r.name, r.ours, '-', '-', '-');
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
printf('\n%d case(s) below target\n', missed);
