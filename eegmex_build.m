function built = eegmex_build(outdir, varargin)
%EEGMEX_BUILD  Build the eegmex MEX files with this host's own mex.
%   EEGMEX_BUILD compiles every MEX file of the toolbox and the shared
%   libraries beside them (the acquisition's session record, the simulated
%   amplifier driver) from the source tree this file sits in, into build/mex
%   beside it, and copies the help texts and the other .m functions there.
%   EEGMEX_BUILD(OUTDIR) builds into the folder OUTDIR instead (created when
%   missing); its name may hold any character (spaces, $, quotes).
%   EEGMEX_BUILD(OUTDIR, '-v') also prints every compiler command.
%   BUILT = EEGMEX_BUILD(...) also returns the names of the files built.
%
%   Run it in GNU Octave (mex, that is mkoctfile --mex) or MATLAB (mex with
%   a C++17 compiler set up by mex -setup C++).  Nothing else is needed but
%   liblinear for the linmodel_ functions (Debian: liblinear-dev).  Every
%   source is compiled with the flags of the CMake build (optimization, no
%   fused multiply-adds, no fast-math): the MEX files are as fast as make build's
%   and give the same bits.  What to build, and those flags, come from
%   eegmex_sources.mk, the build lists written from the CMake files.  The
%   compiler works on a copy of the sources in a temporary folder of its
%   own; the results are then copied into OUTDIR.  Then:
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
  verbose = false;
  for k = 1:numel(varargin)
    if ~ischar(varargin{k}) || ~strcmp(varargin{k}, '-v')
      error('eegmex_build:badOption', 'The only option is ''-v'' (print every compiler command).');
    end
    verbose = true;
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
  shared = words(lists, 'EEGMEX_SHARED');
  b.flags = words(lists, 'EEGMEX_CXXFLAGS');
  b.octave = octave;
  b.verbose = verbose;

  % The compiler and the shells that mex runs see only relative paths of a
  % temporary folder holding a copy of the sources: a folder name is never
  % handed to a shell, whatever characters it holds.  The results are copied
  % into OUTDIR without a shell.
  stage = tempname();
  previous = pwd();
  saved = set_compiler_environment(b);
  leave = onCleanup(@() leave_stage(previous, stage, saved));
  sources = words(lists, 'EEGMEX_HEADERS');
  for k = 1:numel(names)
    sources = [sources, words(lists, [names{k} '_SOURCES'])]; %#ok<AGROW>
  end
  for k = 1:numel(shared)
    sources = [sources, words(lists, [shared{k} '_SOURCES'])]; %#ok<AGROW>
  end
  sources = unique(sources);
  for k = 1:numel(sources)
    copy_file(fullfile(top, sources{k}), fullfile(stage, 'src', sources{k}));
  end
  cd(stage);

  built = {};
  fprintf('Building %d MEX files with %s''s mex into %s\n', numel(names), host, outdir);
  % Plain shared libraries, not MEX files: the session record that the
  % acquisition MEX files link, and the simulated amplifier driver.
  shared_built = {};
  for k = 1:numel(shared)
    name = shared{k};
    file = build_shared(b, name, words(lists, [name '_SOURCES']), words(lists, [name '_OWN_SOURCES']), ...
                        words(lists, [name '_LIBS']), words(lists, [name '_DEFINES']));
    if ~isempty(file)
      built{end + 1} = deliver(file, outdir); %#ok<AGROW>
      shared_built{end + 1} = name; %#ok<AGROW>
      fprintf('  %s\n', file);
    end
  end

  compiled = {};
  for k = 1:numel(names)
    name = names{k};
    file = [name '.' ext];
    missing = setdiff(words(lists, [name '_SHARED']), shared_built);
    if ~isempty(missing)
      fprintf('  %-26s skipped: needs %s\n', file, strjoin(missing, ', '));
      continue;
    end
    t0 = tic();
    src = words(lists, [name '_SOURCES']);
    beside = beside_flags(words(lists, [name '_SHARED']), octave);
    libs = link_flags(words(lists, [name '_LIBS']), octave);
    if octave
      % Each source is compiled once (mkoctfile -c, not as a MEX source, as
      % in the CMake build); the MEX files share the objects.
      objects = cell(1, numel(src));
      for s = 1:numel(src)
        objects{s} = ['obj/' regexprep(src{s}, '\.[^./]*$', '.o')];
        if ~any(strcmp(compiled, src{s}))
          make_folder(fileparts(objects{s}));
          run_mkoctfile(b, ['Compiling ' src{s}], '-Isrc', '-c', ['src/' src{s}], '-o', objects{s});
          compiled{end + 1} = src{s}; %#ok<AGROW>
        end
      end
      run_mkoctfile(b, ['Linking ' file], '--mex', '-o', file, objects{:}, beside{:}, libs{:});
    else
      args = [{'-R2018a', matlab_compiler_flags(b.flags), '-Isrc', '-outdir', '.', '-output', name}, ...
              strcat('src/', src), beside, libs];
      if verbose
        args = [{'-v'}, args]; %#ok<AGROW>
      end
      mex(args{:});
    end
    if ~exist(file, 'file')
      error('eegmex_build:failed', 'mex did not write %s.', file);
    end
    built{end + 1} = deliver(file, outdir); %#ok<AGROW>
    fprintf('  %-26s %5.1f s\n', file, toc(t0));
  end

  % Help texts beside their MEX files, and the other .m functions.
  mfiles = words(lists, 'EEGMEX_MFILES');
  for k = 1:numel(names)
    mfiles = [mfiles, words(lists, [names{k} '_HELP'])]; %#ok<AGROW>
  end
  for k = 1:numel(mfiles)
    [~, base, dot_m] = fileparts(mfiles{k});
    copy_file(fullfile(top, mfiles{k}), fullfile(outdir, [base dot_m]));
  end
  fprintf('  and %d .m files (help texts, Contents.m and the functions in the host''s language)\n', numel(mfiles));
  fprintf('Done: addpath(''%s'')\n', strrep(outdir, '''', ''''''));
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

function saved = set_compiler_environment(b)
  % Octave's mkoctfile takes its flags from the environment: CXXFLAGS
  % replaces Octave's own (-g -O2 and the distribution's hardening options),
  % CPPFLAGS and XTRA_CXXFLAGS set to a blank (an empty value counts as
  % unset) drop the rest, so that each source gets the CMake build's flags.
  saved = {};
  if ~b.octave
    return;
  end
  values = {'CXXFLAGS', strjoin(b.flags, ' '); 'CPPFLAGS', ' '; 'XTRA_CXXFLAGS', ' '};
  saved = values;
  for k = 1:size(values, 1)
    saved{k, 2} = getenv(values{k, 1});
    setenv(values{k, 1}, values{k, 2});
  end
end

function leave_stage(previous, stage, saved)
  cd(previous);
  for k = 1:size(saved, 1)
    if isempty(saved{k, 2})
      unsetenv(saved{k, 1});
    else
      setenv(saved{k, 1}, saved{k, 2});
    end
  end
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    confirm_recursive_rmdir(false, 'local');
  end
  if exist(stage, 'dir')
    rmdir(stage, 's');
  end
end

function run_mkoctfile(b, what, varargin)
  args = varargin;
  if b.verbose
    args = [{'-v'}, args];
  end
  [out, status] = mkoctfile(args{:});
  if status ~= 0
    error('eegmex_build:failed', '%s failed:\n%s', what, out);
  end
  if b.verbose && ~isempty(out)
    fprintf('%s\n', out);
  end
end

function run_command(b, what, cmd)
  if b.verbose
    fprintf('%s\n', cmd);
  end
  [status, out] = system(cmd);
  if status ~= 0
    error('eegmex_build:failed', '%s failed:\n%s\n%s', what, cmd, out);
  end
end

function flags = link_flags(libs, threads)
  % Short library names of the build lists as linker arguments; the thread
  % option only when THREADS (MATLAB's mex links the thread library
  % already).
  flags = {};
  for k = 1:numel(libs)
    switch libs{k}
      case 'threads'
        if threads
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

function flags = beside_flags(shared, octave)
  % Links the shared libraries built beside the MEX files, found there at
  % run time ($ORIGIN; on Windows the host finds DLLs beside a MEX file).
  flags = {};
  if isempty(shared)
    return;
  end
  flags{end + 1} = '-L.';
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

function flags = matlab_compiler_flags(cxxflags)
  % MATLAB's mex takes compiler flags as a variable assignment; its own
  % optimization flags give way to the CMake build's.
  cc = mex.getCompilerConfigurations('C++', 'Selected');
  if ~isempty(cc) && ~isempty(strfind(cc.ShortName, 'MSVC'))
    flags = 'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise';
  else
    flags = ['CXXOPTIMFLAGS=' strjoin(cxxflags, ' ')];
  end
end

function file = build_shared(b, name, sources, own, libs, defines)
  % Every source with hidden symbols (the library exports only what it marks
  % itself), its DEFINES for its own sources; objects under obj/<name>/.
  if ispc
    file = [name '.dll'];
  elseif ismac
    file = ['lib' name '.dylib'];
  else
    file = ['lib' name '.so'];
  end
  if b.octave
    cxx = strtrim(mkoctfile('-p', 'CXX'));
  else
    cc = mex.getCompilerConfigurations('C++', 'Selected');
    if isempty(cc) || ~isempty(strfind(cc.ShortName, 'MSVC'))
      warning('eegmex_build:noSharedLibrary', ...
              'The shared library %s needs a GCC or Clang compiler; it was not built.', file);
      file = '';
      return;
    end
    cxx = cc.Details.CompilerExecutable;
    if ~isempty(cc.Location) && exist(fullfile(cc.Location, 'bin', [cxx '.exe']), 'file')
      cxx = fullfile(cc.Location, 'bin', cxx);
    end
    cxx = ['"' cxx '"'];
  end
  flags = sprintf(' %s', b.flags{:});
  objects = '';
  for k = 1:numel(sources)
    object = ['obj/' name '/' regexprep(sources{k}, '\.[^./]*$', '.o')];
    make_folder(fileparts(object));
    extra = '';
    if any(strcmp(own, sources{k})) && ~isempty(defines)
      extra = sprintf(' -D%s', defines{:});
    end
    run_command(b, ['Compiling ' sources{k} ' for ' file], ...
                sprintf('%s%s -fPIC -fvisibility=hidden -Isrc%s -c src/%s -o %s', cxx, flags, extra, sources{k}, object));
    objects = [objects ' ' object]; %#ok<AGROW>
  end
  lib_args = link_flags(libs, true);
  run_command(b, ['Linking ' file], sprintf('%s -shared -o %s%s%s', cxx, file, objects, sprintf(' %s', lib_args{:})));
end

function target = deliver(file, outdir)
  target = fullfile(outdir, file);
  copy_file(file, target);
end

function copy_file(from, to)
  % A byte copy through the host's own file functions: no shell sees either
  % name.  The old file is removed first, so that a MEX file the host still
  % has mapped keeps its pages.
  make_folder(fileparts(to));
  [in, msg] = fopen(from, 'r');
  if in < 0
    error('eegmex_build:failed', 'Cannot read %s: %s', from, msg);
  end
  bytes = fread(in, Inf, '*uint8');
  fclose(in);
  if exist(to, 'file')
    if exist('OCTAVE_VERSION', 'builtin') ~= 0
      unlink(to);
    else
      delete(to);
    end
  end
  [out, msg] = fopen(to, 'w');
  if out < 0
    error('eegmex_build:failed', 'Cannot write %s: %s', to, msg);
  end
  count = fwrite(out, bytes, 'uint8');
  fclose(out);
  if count ~= numel(bytes)
    error('eegmex_build:failed', 'Could not write all of %s.', to);
  end
end

function make_folder(folder)
  if ~exist(folder, 'dir')
    [ok, msg] = mkdir(folder);
    if ~ok
      error('eegmex_build:failed', 'Cannot create the folder %s: %s', folder, msg);
    end
  end
end

function folder = absolute_folder(folder)
  old = pwd();
  cd(folder);
  folder = pwd();
  cd(old);
end
