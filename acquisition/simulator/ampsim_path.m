function p = ampsim_path()
%AMPSIM_PATH  Path of the simulated amplifier driver library.
%   P = AMPSIM_PATH() returns the full path of libampsim.so, the simulated
%   amplifier driver built beside the acquisition MEX files, so that a
%   session can run without an amplifier:
%
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%
%   The simulator is configured by environment variables read at every
%   driver open (AMPSIM_STATUS, AMPSIM_RATE, ...); see HELP ACQ_START.
%
%   See also ACQ_START, ACQ_FETCH, ACQ_STOP.
  p = fullfile(fileparts(mfilename('fullpath')), 'libampsim.so');
end
