function varargout = ampsim_path(varargin)
%AMPSIM_PATH  Path of the simulated amplifier driver library.
%   P = AMPSIM_PATH() returns the full path of the simulated amplifier
%   driver built beside the acquisition MEX files (ampsim.dll on Windows,
%   libampsim.dylib on macOS, libampsim.so elsewhere), so that a session can
%   run without an amplifier:
%
%     s = acq_open(ampsim_path());

%
%   The simulator is configured by environment variables read at every
%   driver open (AMPSIM_STATUS, AMPSIM_RATE, AMPSIM_PARADIGM, AMPSIM_SEED,
%   ...); see HELP ACQ_START.  demo/demo_bci.m runs a whole live session
%   with its oddball paradigm.
%
%   See also ACQ_OPEN, ACQ_START, DEMO_BCI.
  if nargin > 0
    error('ampsim_path:nargin', 'ampsim_path takes no inputs.');
  end
  if nargout > 1
    error('ampsim_path:nargout', 'At most 1 output: p = ampsim_path().');
  end
  if ispc()
    name = 'ampsim.dll';
  elseif ismac()
    name = 'libampsim.dylib';
  else
    name = 'libampsim.so';
  end
  varargout{1} = fullfile(fileparts(mfilename('fullpath')), name);
end

%!assert (exist (ampsim_path (), 'file'), 2)
%!error id=ampsim_path:nargout [a, b] = ampsim_path ()
%!error id=ampsim_path:nargin ampsim_path (1)
