function stopped = acq_close(s)
%ACQ_CLOSE  Stop a session that ACQ_OPEN started.
%   ACQ_CLOSE(S)
%   STOPPED = ACQ_CLOSE(S)
%
%   Calls ACQ_STOP with the session struct S: disable message, close the
%   driver, unload the driver library, free the ring.  A session that is
%   no longer live (closed already, stopped by ACQ_STOP_ALL, or by clearing
%   the MEX files) is left alone, so that the onCleanup pattern may run
%   after an explicit close:
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));   % an error never leaves it running
%
%   Input
%     S        struct from ACQ_OPEN or ACQ_READ.
%   Output
%     STOPPED  logical: true when this call stopped the session, false when
%              it was no longer live.
%
%   Driver problems are warnings (BioSemi:HandshakeProblem,
%   BioSemi:CloseProblem); the session is released all the same.
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true);
%     acq_close(s)     % ans = 1
%     acq_close(s)     % ans = 0: nothing left to stop
%
%   See also ACQ_OPEN, ACQ_READ, ACQ_STOP, ACQ_STOP_ALL.
  if ! (isstruct(s) && isscalar(s) && all(isfield(s, {'library', 'driver', 'usb_write', 'close_driver', 'ring'})))
    error('acq_close:notSession', 'The input must be the session struct that acq_open returned.');
  end
  try
    acq_stop(s.library, s.driver, s.usb_write, s.close_driver, s.ring);
    stopped = true;
  catch err
    if ! strcmp(err.identifier, 'acq_stop:noSession')
      rethrow(err);
    end
    stopped = false;
  end
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
