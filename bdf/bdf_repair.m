function varargout = bdf_repair (varargin)
%BDF_REPAIR  Make a BDF file cut by a crash whole for strict readers.
%   BDF_REPAIR(FILE)
%   INFO = BDF_REPAIR(FILE)
%
%   A recording cut by a crash, a kill or a power loss ends in a partial
%   data record, and its header's record count may be -1 or run ahead of the
%   data.  BDF_READ, MNE-Python and biosig read such a file up to its last
%   whole record; strict readers (EDFlib and the programs built on it)
%   refuse it.  BDF_REPAIR drops the bytes after the last whole record and
%   writes the count of the whole records into the header, in place.  A
%   count that is 0 or more and within the data is kept (records after it
%   are dropped).  A whole file is left untouched.
%
%   Input
%     FILE  char row, the file's name (at most 1023 characters).
%
%   Output
%     INFO  struct: records (the count now in the header), header_records
%           (the count before), dropped_bytes.  Without an output one line
%           says the same.
%
%   Errors (identifier bdf_repair:<condition>): nargin, nargout, notText,
%   cannotRepair (the file cannot be read or written, or is not BDF: the
%   message says why), outOfMemory.
%
%   Example
%     bdf_repair('killed.bdf')
%     % killed.bdf: 20 data records kept (the header said -1), 1163 bytes dropped
%
%   See also BDF_READ.

  % Runs only when the MEX file of the same name is missing from this folder:
  % beside it, the MEX file takes precedence over this file.
  error ('eegmex:notBuilt', ['%s is not built: its MEX file is missing from %s. Build it with ' ...
         '"make" in the eegmex source tree or with eegmex_build in Octave or MATLAB, or install ' ...
         'the eegmex package (pkg install eegmex-<version>.tar.gz).'], 'bdf_repair', fileparts (mfilename ('fullpath')));
end

%!test
%! % One record of four sweeps of one channel, a count of -1 and 5 bytes of
%! % a cut record after it.
%! f = [tempname() '.bdf'];
%! head = [char(255) sprintf('%-7s%-80s%-80s%-8s%-8s%-8d%-44s%-8d%-8s%-4d', 'BIOSEMI', 'X', 'X', ...
%!         '09.12.24', '13.05.07', 512, '24BIT', -1, '1', 1) sprintf('%-16s', 'Status') ...
%!         blanks(80) sprintf('%-8s', 'Boolean') sprintf('%-8d', -8388608, 8388607, -8388608, 8388607) ...
%!         blanks(80) sprintf('%-8d', 4) blanks(32)];
%! fid = fopen(f, 'w'); fwrite(fid, head); fwrite(fid, zeros(1, 12 + 5)); fclose(fid);
%! info = bdf_repair(f);
%! assert([info.records info.header_records info.dropped_bytes], [1 -1 5]);
%! s = dir(f);
%! assert(s.bytes, 512 + 12);
%! info = bdf_repair(f);
%! assert([info.records info.header_records info.dropped_bytes], [1 1 0]);
%! delete(f);
%!error id=bdf_repair:cannotRepair bdf_repair(tempname())
%!error id=bdf_repair:notText bdf_repair(3)
