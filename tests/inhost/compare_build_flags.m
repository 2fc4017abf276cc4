function compared = compare_build_flags(commands, build_dir, what)
% COMPARE_BUILD_FLAGS  A build without CMake compiles like the CMake build.
%   COMPARED = COMPARE_BUILD_FLAGS(COMMANDS, BUILD_DIR, WHAT) takes the text
%   of the compiler commands that a build without CMake printed (eegmex_build
%   with '-v', pkg install with -verbose) and checks that each compiles its
%   source with the flags that the CMake tree BUILD_DIR gives that source
%   (its compile_commands.json): the same optimization, code generation,
%   definitions and language standard.  Include folders, warnings, outputs
%   and symbol visibility are left out (a shared library's sources are
%   compiled with hidden symbols there; CMake hides them when it links).
%   COMPARED lists the sources compared, relative to the source tree; any
%   difference is an error naming WHAT, the source and both sets of flags.
  cmake = jsondecode(fileread(fullfile(build_dir, 'compile_commands.json')));
  compared = {};
  cxx = strtrim(mkoctfile('-p', 'CXX'));
  lines = regexp(commands, '[^\n]+', 'match');
  for k = 1:numel(lines)
    words = regexp(strtrim(lines{k}), '\S+', 'match');
    if numel(words) < 3 || ! strcmp(words{1}, cxx) || ! any(strcmp(words, '-c'))
      continue;
    end
    words = strrep(words, '"', '');
    source = words{find(! cellfun(@isempty, regexp(words, '\.(cpp|cc|c)$', 'once')), 1)};
    source = regexprep(source, '^(\./)?(src/)?', '');
    ours = codegen_flags(words);
    variants = {};
    for e = 1:numel(cmake)
      if numel(cmake(e).file) > numel(source) && strcmp(cmake(e).file(end - numel(source):end), ['/' source])
        variants{end + 1} = codegen_flags(regexp(cmake(e).command, '\S+', 'match'));
      end
    end
    if isempty(variants)
      error('compare_build_flags:unknown', '%s compiles %s, which the CMake build does not', what, source);
    end
    if ! any(cellfun(@(v) isequal(v, ours), variants))
      error('compare_build_flags:differ', '%s compiles %s with\n  %s\nthe CMake build with\n  %s', ...
            what, source, strjoin(ours, ' '), strjoin(variants{1}, ' '));
    end
    compared{end + 1} = source;
  end
  compared = unique(compared);
end

function flags = codegen_flags(words)
  keep = ! cellfun(@isempty, regexp(words, '^(-O|-f|-m|-D|-U|-std=|-g|-pthread)', 'once'));
  drop = ! cellfun(@isempty, regexp(words, '^(-fvisibility|-fdiagnostics|-fmessage-length|-D\w+_EXPORTS$)', 'once'));
  flags = unique(words(keep & ! drop));
end
