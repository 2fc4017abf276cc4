function s = acq_open(path, varargin)
%ACQ_OPEN  Start an acquisition and return the session as a struct with named fields.
%   S = ACQ_OPEN(DRIVER_PATH)
%   S = ACQ_OPEN(DRIVER_PATH, 'quiet', QUIET)
%
%   Starts a session with ACQ_START and gathers its fifteen outputs in one
%   struct, for ACQ_READ, ACQ_DECODE and ACQ_CLOSE.  With 'quiet' true the
%   step-by-step lines that acq_start prints are not shown; warnings (a low
%   battery: BioSemi:BatteryLow) and errors still are.
%
%   Inputs
%     DRIVER_PATH  char row, 5 to 16383 characters: the driver library
%                  (ampsim_path() for the simulated amplifier).
%     QUIET        logical or numeric scalar (default false).
%
%   Output S, a struct:
%     library, driver            uint64  library and driver handles
%     open_driver, usb_write, read_sweeps, read_pointer, close_driver
%                                uint64  addresses of the five driver exports
%     ring                       uint64  address of the session ring
%     channels                   int32   words per sweep
%     rate                       int32   sampling rate in Hz
%     nsync, ntrig, neeg, nexg   int32   sync, trigger, EEG and ExG channel counts
%     nextra                     int32   extra channels (channels minus the others)
%     pointer                    int32   where the next ACQ_READ copies from
%     path                       char    the driver path
%   The fields are acq_start's outputs 1 to 15 in that order (nextra and
%   path added), so acq_fetch and acq_stop can still be called with them.
%
%   The session must end with ACQ_CLOSE.  So that an error never leaves it
%   running, end it with onCleanup inside a function:
%     function record_block(seconds)
%       s = acq_open(ampsim_path(), 'quiet', true);
%       cleanup = onCleanup(@() acq_close(s));   % runs on return and on error
%       ...
%     end
%   In a script, the cleanup object lives on in the workspace after an
%   error: clear it (clear cleanup), or call ACQ_STOP_ALL.
%
%   Errors: those of ACQ_START (a second session on the same driver library:
%   acq_start:alreadyOpen), acq_open:badOption.
%
%   Example
%     s = acq_open(ampsim_path(), 'quiet', true);
%     cleanup = onCleanup(@() acq_close(s));
%     pause(0.2);
%     [data, s] = acq_read(s);                   % int32 channels-by-n
%     d = acq_decode(data, s);                   % microvolts, triggers, status
%     clear cleanup                              % stops the session
%
%   See also ACQ_READ, ACQ_CLOSE, ACQ_DECODE, ACQ_START, ACQ_STOP_ALL.
  if nargin < 1 || ! ischar(path)
    error('acq_open:badPath', 'The first input must be the path of the driver library (char).');
  end
  quiet = false;
  if mod(numel(varargin), 2) ~= 0
    error('acq_open:badOption', 'Options come in name-value pairs: acq_open(path, ''quiet'', true).');
  end
  for k = 1:2:numel(varargin)
    name = varargin{k};
    value = varargin{k + 1};
    if ! (ischar(name) && strcmpi(name, 'quiet'))
      error('acq_open:badOption', 'Unknown option (the only option is ''quiet'').');
    end
    if ! ((islogical(value) || isnumeric(value)) && isscalar(value) && isreal(value))
      error('acq_open:badOption', 'The value of ''quiet'' must be true or false.');
    end
    quiet = logical(value);
  end

  v = cell(1, 15);
  if quiet
    % evalc keeps the printed lines, and the display of any warning raised
    % inside; a low-battery warning is raised again so that it is seen.
    % Errors leave evalc as they are.
    [previous_msg, previous_id] = lastwarn();
    lastwarn('', '');
    evalc('[v{:}] = acq_start(path);');
    [msg, id] = lastwarn();
    if strcmp(id, 'BioSemi:BatteryLow')
      warning(id, '%s', msg);
    else
      lastwarn(previous_msg, previous_id);
    end
  else
    [v{:}] = acq_start(path);
  end
  s = struct('library', v{1}, 'driver', v{2}, 'open_driver', v{3}, 'usb_write', v{4}, ...
             'read_sweeps', v{5}, 'read_pointer', v{6}, 'close_driver', v{7}, 'ring', v{8}, ...
             'channels', v{9}, 'rate', v{10}, 'nsync', v{11}, 'ntrig', v{12}, 'neeg', v{13}, ...
             'nexg', v{14}, 'nextra', v{9} - v{11} - v{12} - v{13} - v{14}, 'pointer', v{15}, ...
             'path', path);
end

%!test
%! s = acq_open(ampsim_path(), 'quiet', true);
%! cleanup = onCleanup(@() acq_close(s));
%! assert(fieldnames(s)', {'library', 'driver', 'open_driver', 'usb_write', 'read_sweeps', 'read_pointer', ...
%!                         'close_driver', 'ring', 'channels', 'rate', 'nsync', 'ntrig', 'neeg', 'nexg', ...
%!                         'nextra', 'pointer', 'path'});
%! assert([s.channels s.rate s.nsync s.ntrig s.neeg s.nexg s.nextra s.pointer], int32([282 2048 1 1 256 8 16 0]));
%! assert(isa(s.ring, 'uint64') && s.ring ~= 0);
%! pause(0.05);
%! [data, s] = acq_read(s);
%! assert(rows(data), 282);
%! assert(columns(data) > 0);
%! clear cleanup
%! assert(acq_close(s), false);   % already stopped by the cleanup
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
%!error <acq_open: Could not load BioSemi driver DLL.|Could not load BioSemi driver DLL.> acq_open('/nonexistent/libdriver.so', 'quiet', true)
%!error id=acq_open:badOption acq_open(ampsim_path(), 'loud', true)
%!error id=acq_open:badOption acq_open(ampsim_path(), 'quiet')
%!error id=acq_open:badPath acq_open(3)
