function varargout = acq_stop_all (varargin)
%ACQ_STOP_ALL  Stop every live acquisition session of this Octave process.
%   ACQ_STOP_ALL()
%   N = ACQ_STOP_ALL()
%
%   Stops every session that ACQ_START began in this process and that no
%   ACQ_STOP has ended yet, each as ACQ_STOP does: disable message, close
%   the driver, unload the driver library, free the ring.  This is the way
%   out when a script has lost its session scalars (an error between
%   acq_start and acq_stop, then s = cell(1, 15)): acq_start then refuses
%   the driver library with acq_start:alreadyOpen, and acq_stop_all frees
%   it.  Prints one line per session stopped, oldest first, e.g.
%     Stopped acquisition session 1 (/path/libampsim.so, 282 channels at 2048 Hz).
%   Nothing is printed when no session is live.
%
%   Output
%     N  double scalar: the number of sessions stopped (0 when none was
%        live).  Returned only when requested.
%
%   Driver problems are warnings, raised after every session has been
%   released: BioSemi:HandshakeProblem, BioSemi:CloseProblem.
%   Errors: acq_stop_all:nargin (any input), acq_stop_all:nargout (more
%   than one output).
%
%   Sessions are also stopped without a call: when the last of the
%   acquisition MEX files is cleared (clear all, clear functions, clear -f,
%   clear acq_start acq_fetch ...) and when Octave exits, even after an
%   uncaught error.  The session scalars are stale afterwards: acq_fetch and
%   acq_stop refuse them with acq_fetch:noSession and acq_stop:noSession.
%
%   Example
%     s = cell(1, 15);
%     [s{:}] = acq_start(ampsim_path());
%     s = cell(1, 15);             % the scalars are lost
%     n = acq_stop_all()           % n = 1: the driver is free again
%
%   See also ACQ_START, ACQ_STOP, ACQ_OPEN, ACQ_CLOSE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_stop_all', fileparts (mfilename ('fullpath')));
end

%!test
%! s = cell (1, 15);
%! [~, s{:}] = evalc ('acq_start (ampsim_path ())');
%! s = cell (1, 15);
%! [~, n] = evalc ('acq_stop_all ()');
%! assert (n, 1);
