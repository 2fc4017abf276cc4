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
%   (nothing is released), acq_stop:notUint64, acq_stop:nullAddress, and
%   acq_stop:noSession when the inputs do not name a live session of this
%   process: a second stop, a session stopped by ACQ_STOP_ALL, or values of
%   different sessions.  Nothing is released then.  Outputs are not looked
%   at: X = ACQ_STOP(...) stops the session, then the host reports that X
%   was not set.
%
%   A script that lost its scalars stops its session with ACQ_STOP_ALL.
%   Sessions still live are stopped when the last acquisition MEX file is
%   cleared (clear all, clear functions) and when Octave exits.  ACQ_CLOSE
%   stops a session given as the struct of ACQ_OPEN.
%
%   Example
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%     acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
%
%   See also ACQ_START, ACQ_FETCH, ACQ_STOP_ALL, ACQ_CLOSE.

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
