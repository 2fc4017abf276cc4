% eegmex_build inside Octave: it builds every MEX file, the simulated driver
% and the .m files into a folder, compiling each source with the CMake
% build's flags, and its MEX files give the same bits as the CMake build's on
% a handful of calls.  The folder's name holds what a shell would take apart
% or expand (spaces, quotes, $1): the files must land in it all the same.
build_dir = getenv('EEGMEX_BUILD_DIR');
top = fileparts(fileparts(fileparts(mfilename('fullpath'))));
cmake_mex = fullfile(build_dir, 'mex');
inhost_mex = fullfile(build_dir, 'inhost "mex" of o''brien $1');
confirm_recursive_rmdir(false);
for old = dir(fullfile(build_dir, 'inhost*'))'
  rmdir(fullfile(build_dir, old.name), 's');
end

addpath(top, fileparts(mfilename('fullpath')));
printed = evalc('built = eegmex_build(inhost_mex, ''-v'');');
neighbours = {dir(fullfile(build_dir, 'inhost*')).name};
assert(isequal(neighbours, {'inhost "mex" of o''brien $1'}), 'eegmex_build wrote into %s', strjoin(neighbours, ', '));
lists = fileread(fullfile(top, 'eegmex_sources.mk'));
list = @(name) regexp(regexp(lists, [name ' :=([^\n]*)'], 'tokens', 'once'){1}, '\S+', 'match');
names = list('EEGMEX_MEX');

% Every source compiled as CMake compiles it.
compared = compare_build_flags(printed, build_dir, 'eegmex_build');
sources = {};
for n = [names, list('EEGMEX_SHARED')]
  sources = [sources, list([n{1} '_SOURCES'])];
end
assert(isempty(setdiff(sources, compared)), 'eegmex_build printed no compile command for %s', ...
       strjoin(setdiff(sources, compared), ', '));
assert(numel(names) >= 19);
for k = 1:numel(names)
  assert(isfile(fullfile(inhost_mex, [names{k} '.mex'])), names{k});
  assert(exist(fullfile(inhost_mex, [names{k} '.m']), 'file') == 2, names{k});
end
assert(exist(fullfile(inhost_mex, 'libampsim.so'), 'file') == 2);
assert(exist(fullfile(inhost_mex, 'Contents.m'), 'file') == 2);
assert(numel(built), numel(names) + numel(list('EEGMEX_SHARED')));

% Each build's calls in a fresh Octave of its own, so that no MEX file of
% the other is loaded.
octave = fullfile(OCTAVE_HOME(), 'bin', 'octave-cli');
if ! exist(octave, 'file'), octave = 'octave-cli'; end
results = {};
for folder = {cmake_mex, inhost_mex}
  file = [tempname() '.bin'];
  setenv('EEGMEX_CALLS_DIR', folder{1});   % no shell sees the folder's name
  cmd = sprintf(['"%s" --no-history --no-init-file --quiet --no-window-system --eval ' ...
                 '"addpath(getenv(''EEGMEX_CALLS_DIR'')); addpath(''%s''); r = inhost_calls(); save(''-binary'', ''%s'', ''r'');"'], ...
                octave, fileparts(mfilename('fullpath')), file);
  [status, out] = system(cmd);
  if status != 0, error('the calls failed in %s:\n%s', folder{1}, out); end
  results{end + 1} = load(file).r;
  delete(file);
end

function same = same_bits(a, b)
  same = strcmp(class(a), class(b)) && isequal(size(a), size(b)) && issparse(a) == issparse(b);
  if same && ! isempty(a)
    same = isequal(typecast(full(a(:)), 'uint8'), typecast(full(b(:)), 'uint8'));
  end
end

fields = fieldnames(results{1});
assert(numel(fields) > 20);
for k = 1:numel(fields)
  assert(same_bits(results{1}.(fields{k}), results{2}.(fields{k})), ...
         'eegmex_build and CMake MEX files differ in %s', fields{k});
end
assert(rows(results{1}.rbf_G) == 300 && columns(results{1}.rbf_G) > 10);

% The simulator eegmex_build made runs a session with its acquisition MEX files.
addpath(inhost_mex);
assert(strcmp(ampsim_path(), fullfile(inhost_mex, 'libampsim.so')));
s = cell(1, 15);
[~, s{:}] = evalc('acq_start(ampsim_path())');
pause(0.1);
[data, ptr] = acq_fetch(s{1}, s{2}, s{6}, s{8}, s{9}, s{15});
evalc('acq_stop(s{1}, s{2}, s{4}, s{7}, s{8})');
assert(columns(data) > 0 && all(data(1, :) == -256));
printf('eegmex_build: %d MEX files, %d sources compiled with the CMake build''s flags, %d outputs identical\n', ...
       numel(names), numel(compared), numel(fields));
