function post_install (desc)
  % pkg install copies the MEX files and the simulated driver into the
  % package's architecture folder and every .m file (help stubs, functions,
  % demos) into its main folder.  Move the .m files beside the MEX files: a
  % help stub must sit in the MEX file's folder (elsewhere it would shadow
  % the MEX file and lose its help), ampsim_path finds the driver in its own
  % folder, and the demos run from one folder.  eegmex.m, the toolbox's
  % contents for HELP EEGMEX, stays.
  mexfiles = glob (fullfile (desc.archprefix, '*', '*.mex'));
  if (isempty (mexfiles))
    error ('eegmex:install', 'eegmex: no MEX file was installed under %s', desc.archprefix);
  end
  archdir = fileparts (mexfiles{1});
  mfiles = glob (fullfile (desc.dir, '*.m'));
  for k = 1:numel (mfiles)
    [~, name] = fileparts (mfiles{k});
    if (! strcmp (name, 'eegmex'))
      [ok, msg] = movefile (mfiles{k}, archdir);
      if (! ok)
        error ('eegmex:install', 'eegmex: cannot move %s to %s: %s', mfiles{k}, archdir, msg);
      end
    end
  end
end
