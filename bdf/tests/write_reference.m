function write_reference(prefix, words, ev)
% WRITE_REFERENCE(PREFIX, WORDS, EV)  The reference files of the readers'
% checks (check_mne.py, check_biosig.m, bdf_check_edflib) from a session's
% data: PREFIX.words gets WORDS (int32, channels-by-sweeps, the rows in the
% file's signal order: the kept channels without Sync, Status last), sweep
% after sweep; PREFIX.events gets the onsets of EV (a struct with column
% fields sweep and code, as acq_events returns them; sweep 1 = the file's
% first), one "sweep code" line each.  Without EV no events file is written
% and the checks take the onsets from the Status row.
%   e.g. write_reference('/tmp/ref', data([3:end 2], :), ev)   % rows Sync, Status, channels
  fid = fopen([prefix '.words'], 'w', 'ieee-le');
  fwrite(fid, int32(words), 'int32');
  fclose(fid);
  if nargin > 2
    fid = fopen([prefix '.events'], 'w');
    fprintf(fid, '%d %d\n', [double(ev.sweep(:))'; double(ev.code(:))']);
    fclose(fid);
  end
end
