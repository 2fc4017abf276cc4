function varargout = acq_status (varargin)
%ACQ_STATUS  How a session stands: sweeps received, held and lost, its reader, its recording.
%   ST = ACQ_STATUS(S)
%
%   Conventions: counts are of sweeps (columns); sweep numbers are absolute
%   and 1-based.
%
%   Input
%     S    the struct from ACQ_OPEN.
%   Output ST, a struct of scalars:
%     received         sweeps received since the first (the newest sweep's number)
%     held             sweeps the history holds now (sweeps received - held + 1
%                      is the oldest ACQ_WINDOW can still give)
%     seconds_held     held / S.rate
%     capacity         sweeps the history holds at most
%     lost             sweeps lost: lost_by_reads + lost_by_reader
%     lost_by_reads    sweeps ACQ_READ could not return (reads later than the history)
%     lost_by_reader   sweeps the reader missed (the process held up longer
%                      than the driver's ring lasts), estimated by the clock
%     events           trigger onsets detected so far
%     running          logical: the reader thread runs (false after a
%                      problem that stopped it: a bad pointer, a lost sync word)
%     stalled          logical: the driver's pointer stands still (1 s or
%                      more; at the end of a replayed file)
%     problem          char: the reader's last problem ('' for none)
%     problem_id       char: its identifier, acq_read:<condition>
%     seconds          seconds since the reader started
%     reader_cpu       processor seconds the reader thread has used
%     record           logical: the session records to a file
%     records_written, sweeps_written, seconds_written   the file's progress
%     recorder_cpu     processor seconds the recording thread has used
%     record_error     char: why the recording failed ('' while it goes on)
%
%   Errors: acq_status:notSession, acq_status:noSession, acq_status:nargin,
%   acq_status:nargout.
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true);
%     pause(0.5);
%     st = acq_status(s);
%     printf('%d sweeps, %d lost, reader %s\n', st.received, st.lost, mat2str(st.running));
%     acq_close(s);
%
%   See also ACQ_OPEN, ACQ_READ, ACQ_CLOSE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_status', fileparts (mfilename ('fullpath')));
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true);
%! cleanup = onCleanup(@() acq_close(s));
%! pause(0.3);
%! st = acq_status(s);
%! assert(st.running && ! st.stalled && ! st.record);
%! assert(st.received > 0 && st.held == st.received && st.lost == 0);
%! assert(st.capacity, 60 * 2048);
%! assert(st.problem, '');
%!error id=acq_status:notSession acq_status(struct('id', int32(1)))
