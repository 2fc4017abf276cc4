function missing = help_citations(files, toolbox, roots)
% HELP_CITATIONS  The names cited by help texts that do not resolve.
%   MISSING = HELP_CITATIONS(FILES, TOOLBOX, ROOTS) reads the help text of
%   every .m file in FILES (a cell of paths) and collects the names it
%   cites: those of its "See also" paragraph, the base names of the .m files
%   it names by path (demo/demo_bci.m), and every word that is, in any case,
%   one of the function names in TOOLBOX (the toolbox's MEX files, .m
%   functions and demos).  A toolbox name must resolve on the path to a file
%   under one of the folders ROOTS; any other name must merely exist (a
%   built-in or a function of the host).  MISSING lists each failure as
%   "file: name", empty when every citation resolves.
%
%   The help stub test runs it on the source tree, and the package test on
%   the installed package with the source tree's TOOLBOX, so that every
%   reference resolves in both alike.
  missing = {};
  canonical = containers.Map(lower(toolbox), toolbox);
  for k = 1:numel(files)
    text = get_help_text_from_file(files{k});
    [~, file] = fileparts(files{k});
    for name = cited_names(text, canonical)
      if isKey(canonical, lower(name{1}))
        where = which(canonical(lower(name{1})));
        ok = ! isempty(where) && any(cellfun(@(r) strncmp(where, r, numel(r)), roots));
      else
        ok = exist(name{1}) != 0 || exist(lower(name{1})) != 0;
      end
      if ! ok
        missing{end + 1} = sprintf('%s: %s', file, name{1});
      end
    end
  end
end

function names = cited_names(text, canonical)
  names = {};
  % The "See also" paragraph: every word after it up to a blank line.
  see = regexp(text, 'See also([^\n]*(\n[ \t]*\S[^\n]*)*)', 'tokens', 'once');
  if ! isempty(see)
    names = regexp(see{1}, '[A-Za-z]\w*', 'match');
  end
  % Files named by path.
  for p = regexp(text, '[\w.-]+(?:/[\w.-]+)*/(\w+)\.m\>', 'tokens')
    names{end + 1} = p{1}{1};
  end
  % The toolbox's own names, wherever they stand.
  for w = unique(regexp(text, '[A-Za-z]\w*', 'match'))
    if isKey(canonical, lower(w{1}))
      names{end + 1} = w{1};
    end
  end
  names = unique(names);
end
