function [ok, folder, restore] = figures_ready(folder)
%FIGURES_READY  Prepare the demos' figures, drawn without a display.
%   [OK, FOLDER, RESTORE] = FIGURES_READY() selects the gnuplot graphics
%   toolkit, which draws into PNG files (through its cairo terminal) without
%   a display, and creates the folder build/figures beside the folder that
%   holds the MEX files.  FIGURES_READY(FOLDER) uses FOLDER instead.
%
%   OK is false when nothing can draw (no gnuplot, or the folder cannot be
%   made); the first such call of a session says why, later ones are
%   silent, and the demos go on without figures.  RESTORE is an onCleanup
%   object: clearing it puts the previous graphics toolkit and the state of
%   the two warnings silenced here back.
%
%   Draw into figure(..., 'visible', 'off') and save with
%     print(h, '-dpngcairo', '-r100', fullfile(FOLDER, 'name.png'));
%
%   See also DEMO_BCI.
  persistent told;
  restore = [];
  if nargin < 1 || isempty(folder)
    folder = fullfile(fileparts(fileparts(which('icf_rbf'))), 'figures');
  end
  ok = false;
  if ~any(strcmp(available_graphics_toolkits(), 'gnuplot')) || isempty(file_in_path(getenv('PATH'), 'gnuplot'))
    why = 'no gnuplot (Debian package gnuplot-nox)';
  elseif ~isfolder(folder) && ~mkdir(folder)
    why = sprintf('cannot create %s', folder);
  else
    ok = true;
  end
  if ~ok
    if isempty(told)
      printf('(No figures: %s; the demos go on without them.)\n', why);
      told = true;
    end
    return;
  end
  previous = graphics_toolkit();
  quiet = {'Octave:gnuplot-graphics', 'print:nogs'};   % discouraged toolkit; no Ghostscript, not needed for PNG
  states = cellfun(@(id) warning('query', id), quiet);
  warning('off', 'Octave:gnuplot-graphics');
  warning('off', 'print:nogs');
  graphics_toolkit('gnuplot');
  restore = onCleanup(@() put_back(previous, states));
end

function put_back(toolkit, states)
  graphics_toolkit(toolkit);
  warning(states);
end
