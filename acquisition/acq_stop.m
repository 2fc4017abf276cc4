function varargout = acq_stop (varargin)
%ACQ_STOP  Stop an acquisition that ACQ_START began.
%   ACQ_STOP(LIB, DRV, WRITEFN, CLOSEFN, RING)
%
%   Sends the disable message, closes the driver, unloads the driver library
%   and frees the session ring.  Every step runs even when the driver
%   reports a problem; problems are warnings, raised after the releases:
%   BioSemi:HandshakeProblem, then BioSemi:CloseProblem.  Nothing is printed
%   and nothing is returned.
%
%   Inputs (all 1-by-1 uint64, as ACQ_START returned them)
%     LIB      output 1 of acq_start
%     DRV      output 2
%     WRITEFN  output 4
%     CLOSEFN  output 7
%     RING     output 8
%
%   Errors: "Five input argument required.", "All inputs must be scalars."
%   (nothing is released), acq_stop:notUint64, acq_stop:nullAddress.
%   Call it exactly once per session: a second stop, or a fetch after it,
%   with the same scalars is not detected and crashes.
%
%   Example
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%     acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
%
%   See also ACQ_START, ACQ_FETCH.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_stop', fileparts (mfilename ('fullpath')));
end

%!test
%! s = cell (1, 15);
%! [~, s{:}] = evalc ('acq_start (ampsim_path ())');
%! evalc ('acq_stop (s{1}, s{2}, s{4}, s{7}, s{8})');
