% The help stubs beside the MEX files, for every deliverable of the build
% lists: the MEX file runs when both are there, HELP shows the stub's text,
% the stub's examples (its %! blocks) pass, and a stub whose MEX file is
% missing raises eegmex:notBuilt naming the function and how to build it.
% The numeric functions state their conventions first.  Contents.m lists
% every function and demo, and every name a help text cites resolves (the
% package test walks the installed package the same way).
mexdir = fullfile(getenv('EEGMEX_BUILD_DIR'), 'mex');
top = fileparts(fileparts(fileparts(mfilename('fullpath'))));
lists = fileread(fullfile(top, 'eegmex_sources.mk'));
list = @(name) regexp(regexp(lists, [name ' :=([^\n]*)'], 'tokens', 'once'){1}, '\S+', 'match');
names = list('EEGMEX_MEX');
addpath(mexdir);

lonely = tempname();
mkdir(lonely);
for k = 1:numel(names)
  name = names{k};
  stub = fullfile(mexdir, [name '.m']);
  text = fileread(stub);
  first = sprintf('function varargout = %s (varargin)\n', name);
  assert(strncmp(text, first, numel(first)), ...
         '%s: a help stub starts with "function varargout = %s (varargin)" and raises eegmex:notBuilt', stub, name);
  assert(! isempty(strfind(text, '''eegmex:notBuilt''')), '%s does not raise eegmex:notBuilt', stub);
  assert(! isempty(regexp(text, '^%!(assert|error|test)', 'lineanchors', 'once')), '%s has no %%! example block', stub);

  assert(strcmp(which(name), fullfile(mexdir, [name '.mex'])), '%s: the MEX file must take precedence', name);
  h = help(name);
  assert(strncmp(strtrim(h), upper(name), numel(name)), 'help %s does not start with its H1 line', name);
  if any(strcmp(fileparts(list([name '_HELP']){1}), {'lowrank', 'svkernel', 'linmodel', 'lattice', 'packed'}))
    lines = strtrim(regexp(h, '[^\n]*', 'match'));
    assert(any(strncmp(lines(1:min(8, end)), 'Conventions:', 12)), 'help %s does not state its conventions first', name);
  end
  [ok, total] = test(name, 'quiet');
  assert(ok == total && total > 0, '%s: %d of %d example blocks passed', name, ok, total);

  % Alone in a folder, the stub says what is missing.
  copyfile(stub, lonely);
  addpath(lonely);
  try
    feval(name);
    error('test:noError', '%s without its MEX file raised no error', name);
  catch err
    assert(err.identifier, 'eegmex:notBuilt');
    assert(! isempty(strfind(err.message, [name ' is not built'])), err.message);
    assert(! isempty(strfind(err.message, 'eegmex_build')), err.message);
    assert(! isempty(strfind(err.message, lonely)), err.message);
  end
  rmpath(lonely);
  delete(fullfile(lonely, [name '.m']));
end
rmdir(lonely);

% Contents.m names every function: the MEX files, the other .m functions and
% the demos.
contents = help('Contents');
for f = [names, list('EEGMEX_MFILES'), list('EEGMEX_DEMOS')]
  [~, fn] = fileparts(f{1});
  if ! strcmp(fn, 'Contents')
    assert(! isempty(regexp(contents, ['\n\s+' fn '\s+-'], 'once')), 'Contents.m does not list %s', fn);
  end
end

% Every name a help text cites resolves, the toolbox's own names to its files
% (beside the MEX files, or the demos in the source tree).
addpath(fullfile(top, 'demo'), fileparts(mfilename('fullpath')));
files = [cellfun(@(n) list([n '_HELP']){1}, names, 'UniformOutput', false), list('EEGMEX_MFILES'), list('EEGMEX_DEMOS')];
toolbox = cellfun(@(f) nthargout(2, @fileparts, f), files, 'UniformOutput', false);
missing = help_citations(fullfile(top, files), toolbox, {mexdir, top});
assert(isempty(missing), 'help texts cite names that do not resolve:\n  %s', strjoin(missing, '\n  '));
printf(['%d help stubs: MEX first, help shown, conventions first, examples pass, eegmex:notBuilt without the ' ...
        'MEX file; %d help texts cite only names that resolve\n'], numel(names), numel(files));
