function varargout = bdf_read (varargin)
%BDF_READ  Read a BDF file: samples, header and trigger onsets.
%   DATA = BDF_READ(FILE)
%   [DATA, HDR, EV] = BDF_READ(FILE, 'channels', C, 'seconds', [T0 T1], 'raw')
%
%   Reads any plain BDF file (24-bit EDF), a recording of ours or another
%   program's, also one cut by a crash: the header's record count may be -1
%   or beyond the data, and a partial last record is ignored.  Options may
%   come in any order; their names are not case-sensitive.
%
%   Inputs
%     FILE        char row, the file's name.
%     'channels'  the channels to read, in the order given: labels (a char
%                 row for one, a cell array of char rows) or 1-based indices
%                 in the file's order (a numeric vector).  Default: all.  The
%                 channels read together must have one rate.
%     'seconds'   [T0 T1], double: the sweeps k (1-based) with T0 <= (k-1)/
%                 rate < T1, cut at the file's end; T1 may be Inf.  Default:
%                 the whole file.
%     'raw'       the samples as int32 words exactly as ACQ_READ returns
%                 them: the 24-bit sample in the upper three bytes, low byte
%                 0 (the Status row: the status word's upper 24 bits).  May be
%                 followed by true or false.
%
%   Outputs
%     DATA  channels-by-sweeps, one sweep per column: double in the
%           channels' physical units (microvolts for EEG and ExG), d*scale +
%           offset for a digital sample d with scale = (pmax-pmin)/(dmax-dmin)
%           and offset = pmin - dmin*scale as the header gives them, as
%           every reader of the format computes them (the Status row: its
%           digital value exactly); with 'raw' int32 words.  For the maker's
%           ranges (physical -262144 to 262143 for digital -8388608 to
%           8388607) that is 31.25 nV per step less 1.8 ppm and -0.484 uV at
%           0, so it differs from ACQ_DECODE's sample/32 by up to 0.5 uV.
%     HDR   struct: file, patient, recording, start ([year month day hour
%           minute second], [] when the header's date does not read), rate
%           (sweeps per second), sweeps and seconds (in the file), first_sweep
%           (the sweep of DATA's first column), record_seconds, records (the
%           data records read), header_records (the count the header holds,
%           -1 while a recording runs or after a crash), tail_bytes (bytes of
%           a cut last record, ignored), and per channel read (1-by-channels):
%           channels (indices in the file), labels, units, transducers,
%           prefilters (cells of char rows), physical_min, physical_max,
%           digital_min, digital_max, scale, offset.
%     EV    struct with column fields (double), shaped like ACQ_EVENTS: sweep
%           (the onset's sweep, 1 = the file's first), code (the trigger
%           value, Status bits 0 to 15) and seconds ((sweep-1)/rate).  An
%           onset is a change of the trigger value to a non-zero value; the
%           file's first sweep is one when its trigger value is not 0.  Only
%           the onsets within 'seconds' are given; none without a channel
%           labelled "Status".
%
%   Errors (identifier bdf_read:<condition>): nargin, nargout, notText (FILE
%   not a char row), badOption, badChannels (not labels or indices, an index
%   out of range), unknownChannel (no channel of that label), mixedRates,
%   badSeconds, cannotRead (the file cannot be read, or is not BDF: the
%   message says why), tooLarge, outOfMemory.
%
%   Example
%     [data, hdr, ev] = bdf_read('session.bdf', 'channels', {'A1', 'A2'}, ...
%                                'seconds', [10 20]);
%     plot((hdr.first_sweep - 1 + (0:columns(data) - 1)) / hdr.rate, data');
%
%   See also BDF_REPAIR, ACQ_OPEN, ACQ_DECODE.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'bdf_read', fileparts (mfilename ('fullpath')));
end

%!test
%! % A file of two channels and one record of four sweeps, made by hand.
%! f = [tempname() '.bdf'];
%! head = [char(255) sprintf('%-7s%-80s%-80s%-8s%-8s%-8d%-44s%-8d%-8s%-4d', 'BIOSEMI', 'X', 'X', ...
%!         '09.12.24', '13.05.07', 768, '24BIT', 1, '1', 2) sprintf('%-16s', 'A1', 'Status') ...
%!         blanks(160) sprintf('%-8s', 'uV', 'Boolean') ...
%!         sprintf('%-8d', -262144, -8388608, 262143, 8388607, -8388608, -8388608, 8388607, 8388607) ...
%!         blanks(160) sprintf('%-8d', 4, 4) blanks(64)];
%! d = int32([-1 0 1 32, 0 5 5 196608]);        % A1's samples, then Status's
%! b = reshape(typecast(d, 'uint8'), 4, []);
%! fid = fopen(f, 'w'); fwrite(fid, head); fwrite(fid, b(1:3, :)); fclose(fid);
%! [data, hdr, ev] = bdf_read(f);
%! assert(hdr.labels, {'A1', 'Status'});
%! assert([hdr.rate hdr.sweeps hdr.start], [4 4 2024 12 9 13 5 7]);
%! assert(data(2, :), [0 5 5 196608]);
%! assert(data(1, :), double(d(1:4)) * hdr.scale(1) + hdr.offset(1));
%! assert([ev.sweep ev.code ev.seconds], [2 5 0.25]);
%! raw = bdf_read(f, 'channels', 2, 'raw', 'seconds', [0.5 Inf]);
%! assert(raw, int32([5 196608] * 256));
%! delete(f);
%!error id=bdf_read:cannotRead bdf_read(tempname())
%!error id=bdf_read:badOption bdf_read('x.bdf', 'sweeps')
