function p = ampsim_path()
%AMPSIM_PATH  Path of the simulated amplifier driver library.
%   P = AMPSIM_PATH() returns the full path of the simulated amplifier
%   driver built beside the acquisition MEX files (ampsim.dll on Windows,
%   libampsim.dylib on macOS, libampsim.so elsewhere), so that a session can
%   run without an amplifier:
%
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%
%   The simulator is configured by environment variables read at every
%   driver open (AMPSIM_STATUS, AMPSIM_RATE, AMPSIM_PARADIGM, AMPSIM_SEED,
%   ...); see HELP ACQ_START.  demo/demo_bci.m runs a whole live session
%   with its oddball paradigm.
%
%   See also ACQ_START, ACQ_FETCH, ACQ_STOP.
  if ispc()
    name = 'ampsim.dll';
  elseif ismac()
    name = 'libampsim.dylib';
  else
    name = 'libampsim.so';
  end
  p = fullfile(fileparts(mfilename('fullpath')), name);
end
