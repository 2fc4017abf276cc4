function varargout = acq_open (varargin)
%ACQ_OPEN  Start an acquisition that reads in the background: a history by sweep number, events, a BDF recording.
%   S = ACQ_OPEN(DRIVER_PATH)
%   S = ACQ_OPEN(DRIVER_PATH, NAME, VALUE, ...)
%
%   Conventions: sweeps are COLUMNS, one row per kept channel (S.labels);
%   sweep numbers are absolute and 1-based (1 = the session's first sweep);
%   channel numbers are rows of ACQ_FETCH's data (1 Sync, 2 Status, 3 the
%   first EEG channel).
%
%   Starts the amplifier as ACQ_START does (the same report unless 'quiet'),
%   then a reader thread that drains the driver's ring every 2 ms into a
%   history held in memory, whatever the script does: a
%   plot, a training step or a debugger stop between two reads loses
%   nothing while the history lasts.  The thread also detects every trigger
%   onset (ACQ_EVENTS) and, with 'record', writes every sweep to a BDF file.
%
%   Options (name-value pairs, names in any case)
%     'history', SECONDS  what the history holds (default 60 s, or less
%                         where 60 s of the kept channels would take more
%                         than 1 GiB: 26.8 s for 610 channels at 16384 Hz).
%                         Limited only by memory; one that cannot be had is
%                         refused (acq_open:outOfMemory).
%     'channels', LIST    the channels kept and returned: labels (a cellstr
%                         or one char label, as in S.labels: 'A1', 'EXG3')
%                         or channel numbers.  Sync and Status are always
%                         kept, first; the rest keep the layout's order.
%                         Default: every channel.  The history holds only
%                         these, so fewer channels make a longer history.
%     'record', FILE      write every sweep of the kept channels, from the
%                         first on, to the BDF file FILE (all but Sync, with
%                         Status last), from a background thread: a late
%                         read or a stalled script costs the file nothing.
%                         Give it the extension .bdf (MNE-Python needs it).
%                         An existing FILE is refused (acq_open:fileExists).
%     'overwrite', TF     replace an existing FILE (default false).
%     'quiet', TF         hide the start's step-by-step lines; warnings
%                         (BioSemi:BatteryLow) and errors still show.
%
%   Output S, a struct:
%     id                         int32   the session's number in this process
%     labels                     cellstr one label per row of ACQ_READ's data:
%                                        Sync, Status, EEG A1 to A32, B1 to
%                                        B32, ... H32 (I1 on where a layout
%                                        has more), ExG EXG1 to EXG8, extra
%                                        channels EXTRA1 to EXTRAn (on the
%                                        simulator the last is its sweep
%                                        counter)
%     keep                       int32   column: the channel number of each row
%     history                    double  seconds the history holds
%     record                     char    the file recorded to ('' for none)
%     channels, rate             int32   words per sweep of the amplifier, Hz
%     nsync, ntrig, neeg, nexg, nextra   int32 the amplifier's layout
%     library, driver, open_driver, usb_write, read_sweeps, read_pointer,
%     close_driver, ring, pointer, path  acq_start's outputs, so that
%                                        ACQ_FETCH and ACQ_STOP still take them
%
%   The session runs until ACQ_CLOSE (or ACQ_STOP_ALL, clear all, exit).  So
%   that an error or Ctrl-C never leaves it running, close it with onCleanup
%   inside a function:
%     function record_block(seconds)
%       s = acq_open(ampsim_path(), 'quiet', true);
%       cleanup = onCleanup(@() acq_close(s));   % runs on return, error and Ctrl-C
%       ...
%     end
%   A session left running (a script stopped by Ctrl-C) makes the next open
%   on the same driver fail with acq_open:alreadyOpen, which says what runs
%   and since when: acq_stop_all() ends it.
%
%   Errors (identifier acq_open:<condition>): badPath, badOption,
%   pathTooLong, unknownChannel, outOfMemory, fileExists, recordFailed (the
%   file cannot be created), alreadyOpen, tooManySessions, nargout.  The
%   driver's own failures come as ACQ_START raises them, without an
%   identifier; when the simulated amplifier refused to open, its reason
%   follows ("... The simulated amplifier refused: AMPSIM_PARADIGM=...").
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true, 'channels', {'A1', 'A2'});
%     cleanup = onCleanup(@() acq_close(s));
%     pause(0.2);
%     [data, s] = acq_read(s);          % int32, 4-by-n: Sync, Status, A1, A2
%     d = acq_decode(data, s);          % d.eeg: A1 and A2 in microvolts
%     clear cleanup                     % stops the session
%
%   See also ACQ_READ, ACQ_WINDOW, ACQ_EVENTS, ACQ_STATUS, ACQ_CLOSE,
%   ACQ_DECODE, ACQ_STOP_ALL, BDF_READ.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'acq_open', fileparts (mfilename ('fullpath')));
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true);
%! cleanup = onCleanup(@() acq_close(s));
%! assert(fieldnames(s)', {'library', 'driver', 'open_driver', 'usb_write', 'read_sweeps', 'read_pointer', ...
%!                         'close_driver', 'ring', 'channels', 'rate', 'nsync', 'ntrig', 'neeg', 'nexg', ...
%!                         'nextra', 'pointer', 'path', 'id', 'labels', 'keep', 'history', 'record'});
%! assert([s.channels s.rate s.nsync s.ntrig s.neeg s.nexg s.nextra s.pointer], int32([282 2048 1 1 256 8 16 0]));
%! assert(isa(s.ring, 'uint64') && s.ring ~= 0);
%! assert(s.labels([1:4 34 35 258:260 282])', {'Sync', 'Status', 'A1', 'A2', 'A32', 'B1', 'H32', 'EXG1', 'EXG2', 'EXTRA16'});
%! assert(s.keep, int32(1:282)');
%! assert(s.history, 60);
%! assert(s.record, '');
%! pause(0.05);
%! [data, s] = acq_read(s);
%! assert(rows(data), 282);
%! assert(columns(data) > 0);
%! clear cleanup
%! assert(acq_close(s), false);   % already stopped by the cleanup
%!test
%! % A channel choice by label and by number: the history keeps only those.
%! s = acq_open(ampsim_path(), 'quiet', true, 'channels', {'b1', 'EXTRA16'}, 'history', 2);
%! cleanup = onCleanup(@() acq_close(s));
%! assert(s.labels', {'Sync', 'Status', 'B1', 'EXTRA16'});
%! assert(s.keep', int32([1 2 35 282]));
%! assert(s.history, 2);
%! clear cleanup
%! s = acq_open(ampsim_path(), 'quiet', true, 'channels', [282 3]);
%! assert(s.labels', {'Sync', 'Status', 'A1', 'EXTRA16'});
%! acq_close(s);
%!test
%! % Quiet mode hides the printed lines, not the battery warning.  (The test
%! % suite runner hides every warning: show them here.)
%! setenv('AMPSIM_STATUS', '0xC8000000');
%! shown = warning('query', 'quiet');
%! warning('off', 'quiet');
%! unwind_protect
%!   lastwarn('', '');
%!   out = evalc('s = acq_open(ampsim_path(), ''quiet'', true);');
%!   acq_close(s);
%!   [msg, id] = lastwarn();
%!   assert(id, 'BioSemi:BatteryLow');
%!   assert(isempty(strfind(out, 'Loading BioSemi driver dll...')));
%!   assert(! isempty(strfind(out, 'battery is low')));   % the warning is shown
%! unwind_protect_cleanup
%!   unsetenv('AMPSIM_STATUS');
%!   warning(shown.state, 'quiet');
%! end_unwind_protect
%!test
%! out = evalc('s = acq_open(ampsim_path());');
%! acq_close(s);
%! assert(! isempty(strfind(out, 'Channel format is correct...')));
%!test
%! % Why the simulated amplifier refused reaches the error, not only the
%! % standard error; and a session left running (a script stopped by
%! % Ctrl-C) is described in the next open's error, with the call that ends it.
%! setenv('AMPSIM_PARADIGM', 'Oddball');
%! message = '';
%! unwind_protect
%!   try
%!     acq_open(ampsim_path(), 'quiet', true);
%!   catch err
%!     message = err.message;
%!   end
%! unwind_protect_cleanup
%!   unsetenv('AMPSIM_PARADIGM');
%! end_unwind_protect
%! assert(! isempty(strfind(message, ['Could not open connection to BioSemi driver. The simulated amplifier ' ...
%!                                    'refused: AMPSIM_PARADIGM=Oddball is not a paradigm'])), message);
%! s = acq_open(ampsim_path(), 'quiet', true);
%! err = struct('identifier', '', 'message', '');
%! try
%!   acq_open(ampsim_path(), 'quiet', true);
%! catch err
%! end
%! acq_close(s);
%! assert(err.identifier, 'acq_open:alreadyOpen');
%! assert(! isempty(regexp(err.message, 'is still acquiring: session \d+, opened \d+ s ago with acq_open, \d+ sweeps received')), err.message);
%! assert(! isempty(strfind(err.message, 'End it with acq_stop_all().')), err.message);
%! assert(! isempty(strfind(err.message, 'cleanup = onCleanup(@() acq_close(s));')), err.message);
%!error <acq_open: Could not load BioSemi driver DLL.|Could not load BioSemi driver DLL.> acq_open('/nonexistent/libdriver.so', 'quiet', true)
%!error id=acq_open:badOption acq_open(ampsim_path(), 'loud', true)
%!error id=acq_open:badOption acq_open(ampsim_path(), 'quiet')
%!error id=acq_open:badOption acq_open(ampsim_path(), 'history', -1)
%!error id=acq_open:unknownChannel acq_open(ampsim_path(), 'quiet', true, 'channels', {'A1', 'Cz'})
%!error id=acq_open:unknownChannel acq_open(ampsim_path(), 'quiet', true, 'channels', 283)
%!error id=acq_open:outOfMemory acq_open(ampsim_path(), 'quiet', true, 'history', 1e9)
%!error id=acq_open:badPath acq_open(3)
%!error id=acq_open:nargout [a, b] = acq_open(ampsim_path())
