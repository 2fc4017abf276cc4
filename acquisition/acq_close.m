function varargout = acq_close (varargin)
%ACQ_CLOSE  Stop a session that ACQ_OPEN started, and finish its recording.
%   ACQ_CLOSE(S)
%   STOPPED = ACQ_CLOSE(S)
%
%   Stops the session's reader thread, finishes its BDF file (on a whole
%   record: the close waits up to one record's time, at most 1 s, for the
%   driver to complete it) and prints one line: "Recorded N sweeps (T s) to
%   FILE, 0 lost."; then sends the disable message, closes the driver,
%   unloads the driver library and frees the ring and the history.  A
%   session that is no longer live (closed already, stopped by ACQ_STOP_ALL
%   or by clearing the MEX files) is left alone, so that the onCleanup
%   pattern may run after an explicit close:
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));   % an error never leaves it running
%
%   Input
%     S        struct from ACQ_OPEN.
%   Output
%     STOPPED  logical: true when this call stopped the session, false when
%              it was no longer live.
%
%   Driver problems are warnings (BioSemi:HandshakeProblem,
%   BioSemi:CloseProblem), as is a recording that failed
%   (acq_close:recordFailed); the session is released all the same.
%   Errors: acq_close:notSession (not a session struct), acq_close:nargin,
%   acq_close:nargout.
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true);
%     acq_close(s)     % ans = 1
%     acq_close(s)     % ans = 0: nothing left to stop
%
%   See also ACQ_OPEN, ACQ_READ, ACQ_STOP, ACQ_STOP_ALL.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_close', fileparts (mfilename ('fullpath')));
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true);
%! assert(acq_close(s), true);
%! assert(acq_close(s), false);
%! s2 = acq_open(ampsim_path(), 'quiet', true);   % the driver is free again
%! assert(acq_close(s2), true);
%!function fail_while_recording ()
%!  s = acq_open(ampsim_path(), 'quiet', true);
%!  cleanup = onCleanup(@() acq_close(s));
%!  error('test:fails', 'the recording fails');
%!endfunction
%!test
%! % An error inside a function with the onCleanup pattern stops the session:
%! % the next open finds the driver free.
%! try
%!   fail_while_recording();
%! catch err
%!   assert(err.identifier, 'test:fails');
%! end
%! s = acq_open(ampsim_path(), 'quiet', true);
%! assert(acq_close(s), true);
%!error id=acq_close:notSession acq_close(1)
