function fuzz_run(seed, first, last, logfile, workdir, wild)
% FUZZ_RUN  Runs calls FIRST to LAST of the fuzz run with seed SEED (see
% fuzz_call), each written to LOGFILE (and flushed) before it runs, so that a
% call that kills or hangs the host is named by the log's last line.  Every
% call must return or raise a host error; fuzz_run itself never stops on
% one.  After each call a line RET gives its time and outcome.  WORKDIR
% holds the non-library files given to acq_start.  WILD (default false) also
% lets acq_fetch and acq_stop see scalars that name no live session.
  if nargin < 6, wild = false; end
  warning('off', 'all');
  ctx.wild = logical(wild);
  ctx.paths = fuzz_paths(workdir);
  ctx.fifo = fullfile(workdir, 'fifo.so');
  ctx.record = fullfile(workdir, 'fuzz.bdf');
  log = fopen(logfile, 'a');
  session = [];     % the live acquisition session: its fifteen scalars and the last pointer
  stale = [];       % the last stopped session's scalars (wild calls only)
  user = [];        % the live session struct of acq_open
  for k = first:last
    c = fuzz_call(seed, k, ctx);
    [c, use] = session_args(c, session, stale, ctx);
    [c, use] = user_args(c, use, user);
    fprintf(log, 'CALL %d %d %s\n', seed, k, call_text(c));
    fflush(log);
    for j = 1:rows(c.env), setenv(c.env{j, 1}, c.env{j, 2}); end
    for j = 1:numel(c.errors), warning('error', c.errors{j}); end
    out = cell(1, c.nout);
    t0 = tic();
    try
      if c.nout == 0
        feval(c.name, c.args{:});
      else
        [out{:}] = feval(c.name, c.args{:});
      end
      outcome = 'ok';
    catch err
      % A host error: its identifier, or its text (numbers left out) when it
      % has none.
      outcome = err.identifier;
      if isempty(outcome)
        text = regexprep(regexprep(err.message, '\s+', ' '), '[0-9]+', 'N');
        outcome = ['"' text(1:min(end, 80)) '"'];
      end
    end
    dt = toc(t0);
    for j = 1:rows(c.env), unsetenv(c.env{j, 1}); end
    for j = 1:numel(c.errors), warning('off', c.errors{j}); end
    [session, stale] = track_session(c, use, outcome, out, session, stale);
    user = track_user(c, use, outcome, out, user);
    if isempty(use), use = '-'; end
    fprintf(log, 'RET %d %d %.4f %s %s %s\n', seed, k, dt, c.name, strtok(use), outcome);
  end
  if ~isempty(session)
    fprintf(log, 'CALL %d %d acq_stop of the session still live after the last call\n', seed, last);
    fflush(log);
    try
      acq_stop(session.s{1}, session.s{2}, session.s{4}, session.s{7}, session.s{8});
      outcome = 'ok';
    catch err
      outcome = err.identifier;   % a stale stop may have ended it
    end
    fprintf(log, 'RET %d %d 0 acq_stop valid %s\n', seed, last, outcome);
  end
  if ~isempty(user)
    fprintf(log, 'CALL %d %d acq_close of the acq_open session still live after the last call\n', seed, last);
    fflush(log);
    try
      acq_close(user);
      outcome = 'ok';
    catch err
      outcome = err.identifier;
    end
    fprintf(log, 'RET %d %d 0 acq_close valid %s\n', seed, last, outcome);
  end
  fprintf(log, 'END %d %d %d\n', seed, first, last);
  fclose(log);
end

% The inputs of a fetch or stop from the live session, as the call's recipe
% says (see fuzz_call); USE tells what the call does to the session.
function [c, use] = session_args(c, session, stale, ctx)
  use = '';
  if isempty(c.session), return; end
  if ctx.wild && ~isempty(stale) && rand < 0.2
    session = stale;     % scalars of a stopped session: to be refused
    c.session = 'valid';
    use = 'stale';
  end
  if isempty(session), return; end
  s = session.s;
  fetch = strcmp(c.name, 'acq_fetch');
  if fetch
    args = {s{1}, s{2}, s{6}, s{8}, s{9}, session.last};
  else
    args = {s{1}, s{2}, s{4}, s{7}, s{8}};
  end
  nout = 1 + fetch;
  if ~fetch, nout = 0; end
  if isempty(use), use = ['valid ' c.name]; end
  if strcmp(c.session, 'mutate')
    m = c.mutation;
    slot = m.slot;
    use = 'refused';
    kind = m.kind;
    if ~fetch && any(strcmp(kind, {'channels', 'pointer', 'handle'})), kind = 'class'; end
    switch kind
      case 'count'
        args = [args, args](1:m.count);
      case 'nout'
        if fetch
          nout = m.nout_value;
        else
          nout = m.nout_value;       % acq_stop does not look at it: a valid stop
          use = 'valid acq_stop';
        end
      case 'shape'
        args{slot} = pick_shape(args{slot}, m.fraction);
      case 'zero'
        if fetch, slot = 3 + (m.fraction < 0.5); else, slot = [1 3 4](1 + floor(m.fraction * 3)); end
        args{slot} = uint64(0);
      case 'channels'
        % Refused counts, or a smaller one, whose ring lies inside the real one.
        ch = double(s{9});
        args{5} = int32([0, -1, -ch, floor(ch * m.fraction), floor(2147483647 / (4 * 30720)) + 1, ...
                         intmax('int32')](1 + floor(m.fraction * 6)));
        if ctx.wild && m.fraction < 0.3, args{5} = int32(ch + 1 + floor(m.fraction * 1000)); end
      case 'pointer'
        % Refused pointers, or another whole sweep within the ring.
        args{6} = m.last;
        if m.fraction < 0.4, args{6} = int32(floor(m.fraction / 0.4 * 30721) * double(s{9}) * 4); end
      case 'handle'
        args{2} = m.wild;     % the simulated amplifier refuses a handle it did not give
      otherwise   % 'class': any class but the one the input must have
        v = m.value;
        if isa(v, 'uint64') || isa(v, 'int32'), v = double(v); end
        args{slot} = v;
    end
    if ctx.wild && m.fraction > 0.8 && ~isempty(args)
      % A scalar of the right class that names no live session.
      if fetch, slot = 2 + min(floor((m.fraction - 0.8) * 15), 2); end
      args{min(slot, numel(args))} = m.wild;
      use = 'wild';
    end
  end
  c.args = args;
  c.nout = nout;
end

function v = pick_shape(v, f)
  switch floor(f * 3)
    case 0, v = [v, v];
    case 1, v = v([]);
    otherwise, v = repmat(v, [1 1 2]);
  end
end

% The session struct of acq_open as the call's recipe says: the live one, or
% the live one with a field changed or removed.
function [c, use] = user_args(c, use, user)
  if ~any(strcmp(c.session, {'user', 'user_mutate'})) || isempty(user), return; end
  s = user;
  use = ['valid ' c.name];
  if strcmp(c.session, 'user_mutate')
    m = c.mutation;
    if m.remove
      s = rmfield(s, m.field);
    else
      s.(m.field) = m.value;
    end
    use = 'mutated';
  end
  c.args{1} = s;
end

% Keeps acq_open's live session up to date after a call: one at a time (a
% second one on another library is closed at once).
function user = track_user(c, use, outcome, out, user)
  if strcmp(c.name, 'acq_open') && strcmp(outcome, 'ok') && c.nout >= 1 && isstruct(out{1})
    if isempty(user)
      user = out{1};
    else
      acq_close(out{1});
    end
  elseif (strcmp(use, 'valid acq_close') && strcmp(outcome, 'ok')) || ...
         (strcmp(c.name, 'acq_stop_all') && strcmp(outcome, 'ok'))
    user = [];
  end
end

% Keeps the live session up to date after a call.
function [session, stale] = track_session(c, use, outcome, out, session, stale)
  if strcmp(c.name, 'acq_start') && strcmp(outcome, 'ok') && c.nout == 15
    s = out;
    if ~isempty(session)
      % Only one connection to the simulated amplifier can be open; a second
      % start cannot succeed while one runs.  Stop it all the same.
      acq_stop(s{1}, s{2}, s{4}, s{7}, s{8});
    else
      session = struct('s', {s}, 'last', s{15});
    end
  elseif strcmp(use, 'valid acq_fetch') && strcmp(outcome, 'ok')
    session.last = out{2};
  elseif strcmp(use, 'valid acq_stop') || (strcmp(c.name, 'acq_stop_all') && strcmp(outcome, 'ok'))
    % The stop runs through whatever happens after it (an error for an output
    % it does not give): the session has ended.
    if ~isempty(session), stale = session; end
    session = [];
  elseif strcmp(use, 'stale') && strcmp(c.name, 'acq_stop') && strcmp(outcome, 'ok')
    % The stopped session's scalars can name the live one (the library
    % loaded at the same address, the ring allocated at the same place).
    session = [];
  end
end

function t = call_text(c)
  args = cellfun(@fuzz_text, c.args, 'UniformOutput', false);
  outs = '';
  if c.nout > 0, outs = ['[' strjoin(arrayfun(@(j) sprintf('o%d', j), 1:c.nout, 'UniformOutput', false), ', ') '] = ']; end
  t = sprintf('%s%s(%s)', outs, c.name, strjoin(args, ', '));
  for j = 1:rows(c.env), t = sprintf('%s  [%s=%s]', t, c.env{j, 1}, c.env{j, 2}); end
  for j = 1:numel(c.errors), t = sprintf('%s  [warning error %s]', t, c.errors{j}); end
end
