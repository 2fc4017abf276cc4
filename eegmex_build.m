function built = eegmex_build(outdir)
%EEGMEX_BUILD  Build the eegmex MEX files with this host's own mex.
%   EEGMEX_BUILD compiles every MEX file of the toolbox and the shared
%   libraries beside them (the acquisition's session record, the simulated
%   amplifier driver) from the source tree this file sits in, into build/mex
%   beside it, and copies the help texts and the other .m functions there.
%   EEGMEX_BUILD(OUTDIR) builds into the folder OUTDIR instead (created when
%   missing).
%   BUILT = EEGMEX_BUILD(...) also returns the names of the files built.
%
%   Run it in GNU Octave (mex, that is mkoctfile --mex) or MATLAB (mex with
%   a C++17 compiler set up by mex -setup C++).  Nothing else is needed but
%   liblinear for linmodel_score (Debian: liblinear-dev).  The MEX files are
%   built with the floating-point flags of the CMake build (no fused
%   multiply-adds, no fast-math), so their results are the same to the bit.
%   What to build comes from eegmex_sources.mk, the build lists written from
%   the CMake files.  Then:
%
%     addpath(fullfile(fileparts(which('eegmex_build')), 'build', 'mex'));
%     help Contents
%
%   Octave is the verified host; the MATLAB branch follows MATLAB's mex
%   documentation (-R2018a, CXXFLAGS=..., .mexa64/.mexw64/.mexmaca64) and
%   builds the shared libraries only with a GCC or Clang compiler (with
%   MSVC, the acquisition functions are left out: build them with CMake).
%
%   See also CONTENTS, AMPSIM_PATH.

  top = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(outdir)
    outdir = fullfile(top, 'build', 'mex');
  end
  if ~ischar(outdir) || size(outdir, 1) ~= 1
    error('eegmex_build:badFolder', 'The output folder must be given as a text.');
  end
  if ~exist(outdir, 'dir')
    [ok, msg] = mkdir(outdir);
    if ~ok
      error('eegmex_build:badFolder', 'Cannot create the folder %s: %s', outdir, msg);
    end
  end
  outdir = absolute_folder(outdir);
  lists = read_build_lists(fullfile(top, 'eegmex_sources.mk'));
  octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if octave
    host = 'Octave';
    ext = 'mex';
  else
    host = 'MATLAB';
    ext = mexext();
  end

  names = words(lists, 'EEGMEX_MEX');
  built = {};
  fprintf('Building %d MEX files with %s''s mex into %s\n', numel(names), host, outdir);
  % Plain shared libraries, not MEX files: the session record that the
  % acquisition MEX files link, and the simulated amplifier driver.
  shared = words(lists, 'EEGMEX_SHARED');
  shared_built = {};
  for k = 1:numel(shared)
    name = shared{k};
    target = build_shared(name, fullfile(top, words(lists, [name '_SOURCES'])), ...
                          words(lists, [name '_LIBS']), words(lists, [name '_DEFINES']), top, outdir, octave);
    if ~isempty(target)
      built{end + 1} = target; %#ok<AGROW>
      shared_built{end + 1} = name; %#ok<AGROW>
      fprintf('  %s\n', target((numel(outdir) + 2):end));
    end
  end

  for k = 1:numel(names)
    name = names{k};
    sources = fullfile(top, words(lists, [name '_SOURCES']));
    target = fullfile(outdir, [name '.' ext]);
    missing = setdiff(words(lists, [name '_SHARED']), shared_built);
    if ~isempty(missing)
      fprintf('  %-26s skipped: needs %s\n', [name '.' ext], strjoin(missing, ', '));
      continue;
    end
    t0 = tic();
    if octave
      % mkoctfile reads an option it does not know as taking the next
      % argument: the compiler flags come first, a known option follows.
      args = [{'-std=c++17', '-ffp-contract=off', '-fno-fast-math', ['-I' top], '-o', target}, ...
              sources, beside_flags(words(lists, [name '_SHARED']), outdir, true), ...
              link_flags(words(lists, [name '_LIBS']), true)];
    else
      args = [{'-R2018a', matlab_compiler_flags(), ['-I' top], '-outdir', outdir, '-output', name}, ...
              sources, beside_flags(words(lists, [name '_SHARED']), outdir, false), ...
              link_flags(words(lists, [name '_LIBS']), false)];
    end
    mex(args{:});
    if ~exist(target, 'file')
      error('eegmex_build:failed', 'mex did not write %s.', target);
    end
    built{end + 1} = target; %#ok<AGROW>
    fprintf('  %-26s %5.1f s\n', [name '.' ext], toc(t0));
  end

  % Help texts beside their MEX files, and the other .m functions.
  mfiles = words(lists, 'EEGMEX_MFILES');
  for k = 1:numel(names)
    mfiles = [mfiles, words(lists, [names{k} '_HELP'])]; %#ok<AGROW>
  end
  for k = 1:numel(mfiles)
    [ok, msg] = copyfile(fullfile(top, mfiles{k}), outdir);
    if ~ok
      error('eegmex_build:failed', 'Cannot copy %s to %s: %s', mfiles{k}, outdir, msg);
    end
  end
  fprintf('  and %d .m files (help texts, Contents.m and the functions in the host''s language)\n', numel(mfiles));
  fprintf('Done: addpath(''%s'')\n', outdir);
  if nargout == 0
    clear built;
  end
end

function lists = read_build_lists(file)
  % The "NAME := words" lines of the build lists, as a struct of texts.
  text = fileread(file);
  lists = struct();
  lines = regexp(text, '[^\n]*', 'match');
  for k = 1:numel(lines)
    tok = regexp(lines{k}, '^([A-Za-z_0-9]+) :=(.*)$', 'tokens', 'once');
    if ~isempty(tok)
      lists.(tok{1}) = strtrim(tok{2});
    end
  end
end

function w = words(lists, name)
  if ~isfield(lists, name)
    error('eegmex_build:lists', 'eegmex_sources.mk has no %s.', name);
  end
  w = regexp(lists.(name), '\S+', 'match');
end

function flags = link_flags(libs, octave)
  % Short library names of the build lists as linker arguments.
  flags = {};
  for k = 1:numel(libs)
    switch libs{k}
      case 'threads'
        % MATLAB's mex links with the thread library already.
        if octave
          flags{end + 1} = '-pthread'; %#ok<AGROW>
        end
      case 'dl'
        if ~ispc
          flags{end + 1} = '-ldl'; %#ok<AGROW>
        end
      otherwise
        flags{end + 1} = ['-l' libs{k}]; %#ok<AGROW>
    end
  end
end

function flags = beside_flags(shared, outdir, octave)
  % Links the shared libraries built beside the MEX files, found there at
  % run time ($ORIGIN; on Windows the host finds DLLs beside a MEX file).
  flags = {};
  if isempty(shared)
    return;
  end
  flags{end + 1} = ['-L' outdir];
  for k = 1:numel(shared)
    flags{end + 1} = ['-l' shared{k}]; %#ok<AGROW>
  end
  if ~ispc && octave
    % mex passes this through two shells: both must leave $ORIGIN alone.
    flags{end + 1} = '-Wl,-rpath,\\\$ORIGIN';
  elseif ~ispc
    flags{end + 1} = 'LDFLAGS=$LDFLAGS -Wl,-rpath,\$ORIGIN';
  end
end

function flag = matlab_compiler_flags()
  % MATLAB's mex takes compiler flags as a variable assignment.
  cc = mex.getCompilerConfigurations('C++', 'Selected');
  if ~isempty(cc) && ~isempty(strfind(cc.ShortName, 'MSVC'))
    flag = 'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise';
  else
    flag = 'CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off -fno-fast-math';
  end
end

function target = build_shared(name, sources, libs, defines, top, outdir, octave)
  if ispc
    file = [name '.dll'];
  elseif ismac
    file = ['lib' name '.dylib'];
  else
    file = ['lib' name '.so'];
  end
  target = fullfile(outdir, file);
  if octave
    cxx = strtrim(mkoctfile('-p', 'CXX'));
  else
    cc = mex.getCompilerConfigurations('C++', 'Selected');
    if isempty(cc) || ~isempty(strfind(cc.ShortName, 'MSVC'))
      warning('eegmex_build:noSharedLibrary', ...
              'The shared library %s needs a GCC or Clang compiler; it was not built.', file);
      target = '';
      return;
    end
    cxx = cc.Details.CompilerExecutable;
    if ~isempty(cc.Location) && exist(fullfile(cc.Location, 'bin', [cxx '.exe']), 'file')
      cxx = fullfile(cc.Location, 'bin', cxx);
    end
  end
  lib_args = '';
  for k = 1:numel(libs)
    switch libs{k}
      case 'threads', lib_args = [lib_args ' -pthread']; %#ok<AGROW>
      case 'dl', if ~ispc, lib_args = [lib_args ' -ldl']; end %#ok<AGROW>
      otherwise, lib_args = [lib_args ' -l' libs{k}]; %#ok<AGROW>
    end
  end
  define_args = '';
  for k = 1:numel(defines)
    define_args = [define_args ' -D' defines{k}]; %#ok<AGROW>
  end
  cmd = sprintf('"%s" -std=c++17 -ffp-contract=off -fno-fast-math -O2 -fPIC -shared -fvisibility=hidden -I"%s"%s -o "%s"%s%s', ...
                cxx, top, define_args, target, sprintf(' "%s"', sources{:}), lib_args);
  [status, out] = system(cmd);
  if status ~= 0
    error('eegmex_build:failed', 'Building %s failed:\n%s\n%s', file, cmd, out);
  end
end

function folder = absolute_folder(folder)
  old = pwd();
  cd(folder);
  folder = pwd();
  cd(old);
end
