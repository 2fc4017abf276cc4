function result = demo_bci(varargin)
%DEMO_BCI  A live oddball brain-computer interface: acquire, learn, classify online.
%   DEMO_BCI() runs the toolbox's showcase on the simulated amplifier with
%   its oddball paradigm (AMPSIM_PARADIGM=oddball: an event every 250 ms,
%   one in five a target that evokes a late positive response):
%     1. opens a session (ACQ_OPEN): a reader thread keeps every sweep in
%        a history addressed by sweep number, detects the events and records
%        the session to a BDF file, whatever the script does; the demo reads
%        (ACQ_READ) for 40 s, printing progress once a second;
%     2. takes the window of 0 to 800 ms after every event (ACQ_EVENTS,
%        ACQ_WINDOW) from 16 EEG channels, re-referenced to the common
%        average of all EEG channels and scaled to microvolts, and decimates
%        it into a feature vector (100 ms means every 50 ms);
%     3. trains a linear classifier on the first 70 % of the epochs
%        (LINMODEL_TRAIN), predicts the rest (LINMODEL_PREDICT) and prints
%        the balanced accuracy; then the same through a low-rank
%        Gaussian-kernel feature map from ICF_RBF;
%     4. goes on for 10 s, classifying every new epoch as soon as its 800 ms
%        have arrived, with the latency and the running accuracy;
%     5. closes the session (ACQ_CLOSE, which finishes the recording and
%        says how many sweeps it holds), draws three figures and ends with
%        one summary line for scripts:
%          bci: heldout=0.93 online=0.91 kernel=0.92 lost=0 epochs=212 seconds=71.4
%        (balanced accuracies, lost sweeps, epochs classified, wall time).
%
%   DEMO_BCI(DRIVER) acquires through the driver library at path DRIVER
%   instead; its events must come on the trigger inputs as codes 1
%   (standard) and 2 (target).  Lost sweeps are counted only on the
%   simulator, whose last channel is a sweep counter (else lost=NaN).
%
%   DEMO_BCI(..., NAME, VALUE) options:
%     'train_seconds'   acquisition before training (default 40, at least 8)
%     'online_seconds'  online classification (default 10)
%     'figures'         folder of the PNG figures (default build/figures);
%                       'none' draws nothing
%     'seed'            AMPSIM_SEED of the simulator (default 1)
%     'recordings'      folder of the session's recording demo_bci.bdf
%                       (default build/recordings; each run replaces the
%                       file); 'none' records nothing.  Open it with
%                       BDF_READ, in MNE-Python (mne.io.read_raw_bdf) or
%                       replay it (AMPSIM_REPLAY, see ACQ_START).
%
%   R = DEMO_BCI(...) also returns the summary as a struct with fields
%   heldout, online, kernel, lost, epochs, seconds, rank, figures and
%   recording (the file, '' for none).
%
%   The session is stopped whatever happens, an error or Ctrl-C included,
%   and the simulator's environment variables are put back as they were.
%
%   See also ACQ_OPEN, ACQ_READ, ACQ_EVENTS, ACQ_WINDOW, ACQ_CLOSE, BDF_READ,
%   LINMODEL_TRAIN, LINMODEL_PREDICT, ICF_RBF.

  t_demo = tic();
  opt = options(varargin);
  simulated = strcmp(opt.driver, ampsim_path());
  if simulated
    % The simulator reads its settings at every open: set the paradigm for
    % this session and put the caller's values back afterwards.
    saved = save_env({'AMPSIM_PARADIGM', 'AMPSIM_SEED'});
    env_guard = onCleanup(@() restore_env(saved));
    setenv('AMPSIM_PARADIGM', 'oddball');
    setenv('AMPSIM_SEED', sprintf('%d', opt.seed));
  end

  % ---- 1. Open the session; an onCleanup closes it on every way out. ----
  printf('Oddball BCI on %s\n', opt.driver);
  recording = recording_file(opt.recordings);
  args = {'quiet', true};                 % the start's step-by-step report kept quiet
  if ~isempty(recording)
    args = [args, {'record', recording, 'overwrite', true}];
  end
  s = acq_open(opt.driver, args{:});
  session_guard = onCleanup(@() acq_close(s));
  t_session = tic();
  rate = double(s.rate);
  n_eeg = double(s.neeg);
  printf('Session: %d channels at %d Hz (%d EEG, %d ExG), a history of %.0f s\n', s.channels, rate, n_eeg, ...
         s.nexg, s.history);
  if ~isempty(recording)
    printf('Recording every sweep to %s\n', recording);
  end
  if n_eeg < 61
    error('demo_bci:layout', 'The amplifier has %d EEG channels; this demo reads EEG 1 to 61.', n_eeg);
  end

  % The montage: 16 EEG channels, every fourth of the first 64.  What is
  % kept of each sweep: those channels re-referenced to the common average
  % of all EEG channels, in microvolts, and the event code.
  montage = 1:4:61;
  total_seconds = opt.train_seconds + opt.online_seconds + 5;
  eeg = zeros(numel(montage), ceil(total_seconds * rate));
  codes = zeros(1, columns(eeg));
  count = 0;                 % sweeps read
  lost = 0;                  % sweeps missing from the counter's sequence
  next_counter = NaN;        % the counter the next sweep must carry
  events = zeros(0, 2);      % sweep number and code of every event so far
  epoch_len = round(0.8 * rate);

  % ---- 2. Acquire the training data, reporting once a second. ----
  printf('\nAcquiring %d s of training data:\n', opt.train_seconds);
  next_report = 1;
  reported = [0, 0];                      % time and sweep count of the last report
  while toc(t_session) < opt.train_seconds
    pause(0.02);
    [uv, code, counter, s] = read_montage(s, montage, n_eeg);
    n = columns(uv);
    eeg(:, count + 1:count + n) = uv;
    codes(count + 1:count + n) = code;
    count += n;
    [lost, next_counter] = count_lost(counter, lost, next_counter, simulated);
    events = [events; paradigm_events(s)];
    elapsed = toc(t_session);
    if elapsed >= next_report
      printf('  %3d s: %6d sweeps (%4.0f/s), events: %3d (targets: %2d), lost sweeps: %s\n', next_report, count, ...
             (count - reported(2)) / (elapsed - reported(1)), rows(events), sum(events(:, 2) == 2), ...
             lost_text(lost, simulated));
      reported = [elapsed, count];
      next_report += 1;
    end
  end

  % ---- 3. Epochs, features and the two classifiers. ----
  whole = events(:, 1) + epoch_len - 1 <= count;          % whole epochs only; the rest go online
  onsets = events(whole, 1)';
  labels = events(whole, 2);
  pending = events(~whole, :);
  F = zeros(numel(montage) * 15, numel(onsets));
  for e = 1:numel(onsets)
    F(:, e) = epoch_features(s, onsets(e), montage, n_eeg, rate);
  end
  n_train = round(0.7 * numel(onsets));
  train = 1:n_train;
  heldout = n_train + 1:numel(onsets);
  printf('\n%d epochs (%d targets): training on the first %d, holding out %d\n', numel(onsets), ...
         sum(labels == 2), n_train, numel(heldout));
  if any(accumarray(labels(train), 1, [2 1]) == 0)
    error('demo_bci:classes', 'The training epochs lack a class; are codes 1 and 2 on the trigger inputs?');
  end
  % Standardize each feature with the training epochs' mean and spread.
  mu = mean(F(:, train), 2);
  sd = std(F(:, train), 0, 2);
  sd(sd == 0) = 1;
  Z = (F - mu) ./ sd;

  % Linear: logistic regression, targets weighted up to balance the classes.
  model = train_model(Z(:, train)', labels(train));
  [pred, dv] = score(model, Z(:, heldout)');
  acc_heldout = balanced_accuracy(labels(heldout), pred);
  printf('Linear classifier (liblinear L2-regularized logistic regression, %d features):\n', rows(Z));
  printf('  held-out balanced accuracy %.2f (chance 0.50), %d of %d epochs right\n', acc_heldout, ...
         sum(pred == labels(heldout)), numel(heldout));

  % Kernel: a Gaussian-kernel feature map of low rank.  icf_rbf factorizes
  % the training epochs' kernel matrix, K(perm, perm) ~ G*G'; a new epoch x
  % maps to g with g*G(1:r,1:r)' = K(x, pivots), which gives a pivot sample
  % its own row of G.
  Ztrain = Z(:, train);
  d2 = max(sum(Ztrain .^ 2, 1)' + sum(Ztrain .^ 2, 1) - 2 * (Ztrain' * Ztrain), 0);
  sigma = 2 * sqrt(median(d2(d2 > 0)));
  [G, perm] = icf_rbf(Ztrain, sigma, 0.05 * n_train);     % stop at 5 % of the trace left
  kernel_rank = columns(G);
  feature_map.pivots = Ztrain(:, perm(1:kernel_rank) + 1);
  feature_map.lower = G(1:kernel_rank, 1:kernel_rank);
  feature_map.sigma = sigma;
  kmodel = train_model(G, labels(train(perm + 1)));
  kpred = score(kmodel, kernel_map(feature_map, Z(:, heldout)));
  acc_kernel = balanced_accuracy(labels(heldout), kpred);
  printf('Kernel classifier (Gaussian kernel, sigma %.1f, rank %d of %d from icf_rbf):\n', sigma, kernel_rank, n_train);
  printf('  held-out balanced accuracy %.2f (chance 0.50)\n', acc_kernel);

  % ---- 4. Online: classify each new epoch once its 800 ms are in. ----
  printf('\nOnline for %d s: each epoch classified as soon as its last sweep arrives\n', opt.online_seconds);
  printf('  %8s  %-8s  %7s  %-8s  %9s  %s\n', 'event at', 'class', 'score', 'label', 'latency', 'running balanced accuracy');
  online_t = []; online_y = []; online_p = []; online_dv = []; latencies = [];
  t_online = toc(t_session);
  while toc(t_session) < t_online + opt.online_seconds
    pause(0.005);
    [uv, code, counter, s] = read_montage(s, montage, n_eeg);
    t_arrival = tic();
    n = columns(uv);
    if n == 0
      continue;
    end
    eeg(:, count + 1:count + n) = uv;
    codes(count + 1:count + n) = code;
    count += n;
    [lost, next_counter] = count_lost(counter, lost, next_counter, simulated);
    pending = [pending; paradigm_events(s)];
    % Every event whose 800 ms are in: its window from the history.
    while ~isempty(pending) && pending(1, 1) + epoch_len - 1 <= count
      [onset, code] = deal(pending(1, 1), pending(1, 2));
      pending(1, :) = [];
      z = (epoch_features(s, onset, montage, n_eeg, rate) - mu) ./ sd;
      [p, v] = score(model, z');
      latency = toc(t_arrival);
      online_t(end + 1) = (onset - 1) / rate;
      online_y(end + 1) = code;
      online_p(end + 1) = p;
      online_dv(end + 1) = v;
      latencies(end + 1) = latency;
      printf('  %7.2fs  %-8s  %+7.2f  %-8s  %7.1fms  %.2f\n', online_t(end), class_name(code), v, ...
             class_name(p), 1e3 * latency, balanced_accuracy(online_y, online_p));
    end
  end
  acc_online = balanced_accuracy(online_y, online_p);

  % ---- 5. Stop, draw, summarize. ----
  printf('\n');
  clear session_guard;                    % closes the session now, and its recording
  printf('Session stopped: %d sweeps in %.1f s, lost sweeps: %s\n', count, toc(t_session), lost_text(lost, simulated));
  if ~isempty(recording)
    printf('Open the recording in MNE-Python:\n  import mne\n  raw = mne.io.read_raw_bdf(''%s'', preload=True)\n', recording);
    printf(['  events = mne.find_events(raw, stim_channel=''Status'', mask=0xFFFF, mask_type=''and'', ' ...
            'initial_event=True)\n']);
  end
  if ~isempty(online_y)
    printf('Online: %d epochs, balanced accuracy %.2f, latency median %.1f ms, max %.1f ms\n', numel(online_y), ...
           acc_online, 1e3 * median(latencies), 1e3 * max(latencies));
  end

  figures = {};
  if ~strcmp(opt.figures, 'none')
    figures = draw(opt.figures, eeg, codes, count, rate, montage, onsets, labels, ...
                   (onsets(heldout) - 1) / rate, dv, online_t, online_y, online_dv);
  end
  if ~simulated
    lost = NaN;
  end
  result = struct('heldout', acc_heldout, 'online', acc_online, 'kernel', acc_kernel, 'lost', lost, ...
                  'epochs', numel(heldout) + numel(online_y), 'seconds', toc(t_demo), 'rank', kernel_rank, ...
                  'figures', {figures}, 'recording', recording);
  printf('bci: heldout=%.2f online=%.2f kernel=%.2f lost=%d epochs=%d seconds=%.1f\n', result.heldout, ...
         result.online, result.kernel, result.lost, result.epochs, result.seconds);
  if nargout == 0
    clear result;
  end
end

% ---- Options and the environment ----

function opt = options(args)
  opt = struct('driver', ampsim_path(), 'train_seconds', 40, 'online_seconds', 10, 'figures', '', 'seed', 1, ...
               'recordings', '');
  if mod(numel(args), 2) == 1
    opt.driver = args{1};
    args = args(2:end);
  end
  for k = 1:2:numel(args)
    name = args{k};
    if ~ischar(name) || ~isfield(opt, name) || strcmp(name, 'driver') || k == numel(args)
      error('demo_bci:option', ['Options come as name, value pairs: train_seconds, online_seconds, figures, seed, ' ...
            'recordings.']);
    end
    opt.(name) = args{k + 1};
  end
  if ~ischar(opt.driver)
    error('demo_bci:driver', 'The driver must be the path of a driver library.');
  end
  if ~(isscalar(opt.train_seconds) && opt.train_seconds >= 8) || ~(isscalar(opt.online_seconds) && opt.online_seconds >= 0)
    error('demo_bci:seconds', 'train_seconds must be at least 8 and online_seconds at least 0.');
  end
end

function saved = save_env(names)
  saved = cellfun(@(name) {name, getenv(name)}, names, 'UniformOutput', false);
end

function restore_env(saved)
  for k = 1:numel(saved)
    if isempty(saved{k}{2})
      unsetenv(saved{k}{1});
    else
      setenv(saved{k}{1}, saved{k}{2});
    end
  end
end

% ---- Acquisition ----

% The file the session records to: demo_bci.bdf in the folder asked for
% (build/recordings beside the MEX files' folder by default, or the
% temporary folder where that cannot be made); '' for 'none'.
function file = recording_file(folder)
  file = '';
  if strcmp(folder, 'none')
    return;
  end
  if isempty(folder)
    folder = fullfile(fileparts(fileparts(which('acq_open'))), 'recordings');
    if ~isfolder(folder) && ~mkdir(folder)
      folder = tempdir();
    end
  elseif ~isfolder(folder) && ~mkdir(folder)
    error('demo_bci:recordings', 'Cannot create the folder %s for the recording.', folder);
  end
  file = fullfile(folder, 'demo_bci.bdf');
end

% The montage's channels of int32 sweeps in microvolts, re-referenced to
% the common average of all EEG channels (channels x n), the event codes
% and the last channel's upper three bytes (1 x n), which on the simulator
% are its sweep counter.
function [uv, code, counter] = montage_of(sweeps, montage, n_eeg)
  all_eeg = floor(double(sweeps(3:2 + n_eeg, :)) / 256) * 0.03125;   % upper 24 bits, 31.25 nV per step
  uv = all_eeg(montage, :) - mean(all_eeg, 1);
  status = typecast(sweeps(2, :), 'uint32');
  code = double(bitand(bitshift(status, -8), uint32(65535)));         % trigger inputs: bits 8 to 23
  counter = double(typecast(sweeps(end, :), 'uint32')) / 256;
end

% The sweeps that have arrived since the last read, as montage_of gives
% them.  (A subfunction, not a nested one: Octave never runs the onCleanup
% objects of a function that has nested functions, and the session guard
% must run.)
function [uv, code, counter, s] = read_montage(s, montage, n_eeg)
  [chunk, s] = acq_read(s);
  [uv, code, counter] = montage_of(chunk, montage, n_eeg);
end

% The paradigm's events since the previous call, one row each: sweep
% number and code, 1 (standard) or 2 (target); other codes are not this
% paradigm's.
function ev = paradigm_events(s)
  e = acq_events(s);
  keep = e.code == 1 | e.code == 2;
  ev = [e.sweep(keep), e.code(keep)];
end

% The feature vector of the epoch of 0 to 800 ms after the event at sweep
% `onset`, taken from the session's history.
function f = epoch_features(s, onset, montage, n_eeg, rate)
  epoch = acq_window(s, onset, onset + round(0.8 * rate) - 1);
  f = features(montage_of(epoch, montage, n_eeg), 1, rate);
end

% Adds the sweeps missing before and among these counters to `lost`; a
% counter that does not go up counts as a lost sweep too.  The counter runs
% modulo 2^24: a step is taken as the nearest one it can stand for.
function [lost, next_counter] = count_lost(counter, lost, next_counter, simulated)
  if ~simulated || isempty(counter)
    return;
  end
  if isnan(next_counter)
    next_counter = counter(1);
  end
  steps = mod(diff([next_counter - 1, counter]) + 2^23, 2^24) - 2^23;
  lost += sum(steps(steps > 1) - 1) + sum(steps < 1);
  next_counter = mod(counter(end) + 1, 2^24);
end

% ---- Events, epochs and features ----

% Sweeps (from `from` on) where an event code 1 (standard) or 2 (target)
% starts; other codes are not this paradigm's.
function onsets = find_onsets(codes, from)
  if nargin < 2
    from = 1;
  end
  k = max(from, 2):numel(codes);
  onsets = k(codes(k) ~= 0 & codes(k - 1) == 0);
  if from <= 1 && ~isempty(codes) && codes(1) ~= 0
    onsets = [1, onsets];
  end
  onsets = onsets(codes(onsets) == 1 | codes(onsets) == 2);
end

% One column per epoch: on each channel, the means over 15 windows of
% 100 ms, 50 ms apart, in the 800 ms after the event, after removing the
% channel's mean over the epoch.  A 100 ms mean cancels the 10 Hz alpha rhythm and
% the 50 Hz line pickup.
function F = features(eeg, onsets, rate)
  len = round(0.8 * rate);
  win = round(0.1 * rate);
  starts = round(linspace(0, len - win, 15));
  F = zeros(rows(eeg) * numel(starts), numel(onsets));
  for e = 1:numel(onsets)
    epoch = eeg(:, onsets(e):onsets(e) + len - 1);
    epoch -= mean(epoch, 2);
    sums = [zeros(rows(eeg), 1), cumsum(epoch, 2)];
    windows = (sums(:, starts + win + 1) - sums(:, starts + 1)) / win;
    F(:, e) = windows(:);
  end
end

% Rows of the low-rank feature map for the columns of Z.
function g = kernel_map(fm, Z)
  d2 = max(sum(Z .^ 2, 1)' + sum(fm.pivots .^ 2, 1) - 2 * (Z' * fm.pivots), 0);
  g = exp(-d2 / (2 * fm.sigma ^ 2)) / fm.lower';
end

% ---- liblinear ----

% L2-regularized logistic regression on the rows of X, the targets' cost
% weighted up by the ratio of standards to targets.
function model = train_model(X, y)
  weight = sum(y == 1) / max(sum(y == 2), 1);
  model = linmodel_train(y, X, sprintf('-s 0 -c 1 -B 1 -w2 %.4f -q', weight));
end

% Labels and target scores (positive: target) of the rows of X.
function [pred, target_score] = score(model, X)
  [pred, dv] = linmodel_predict(model, X);
  target_score = dv(:, 1);
  if model.Label(1) ~= 2
    target_score = -target_score;
  end
end

% The mean of the recalls of the classes present (NaN with no epoch).
function b = balanced_accuracy(y, p)
  recall = [mean(p(y == 1) == 1), mean(p(y == 2) == 2)];
  recall = recall(~isnan(recall));
  b = NaN;
  if ~isempty(recall)
    b = mean(recall);
  end
end

function name = class_name(code)
  names = {'standard', 'target'};
  name = names{code};
end

function text = lost_text(lost, simulated)
  if simulated
    text = sprintf('%d', lost);
  else
    text = 'not counted';
  end
end

% ---- Figures ----

function files = draw(folder, eeg, codes, count, rate, montage, onsets, labels, heldout_t, heldout_dv, ...
                      online_t, online_y, online_dv)
  files = {};
  [ok, folder, restore] = figures_ready(folder);
  if ~ok
    return;
  end
  try
    files{end + 1} = draw_raw(folder, eeg, codes, count, rate, montage);
    files{end + 1} = draw_average(folder, eeg, count, rate, montage, onsets, labels);
    files{end + 1} = draw_scores(folder, heldout_t, heldout_dv, labels(end - numel(heldout_t) + 1:end), ...
                                 online_t, online_y, online_dv);
    printf('Figures: %s\n', strjoin(files, ', '));
  catch err
    printf('(Figures stopped: %s; the demo goes on without them.)\n', err.message);
  end
end

function file = draw_raw(folder, eeg, codes, count, rate, montage)
  shown = [4 5 12 13];                       % EEG 13 and 17 carry the response, EEG 45 and 49 do not
  span = round(2 * rate) + (1:round(2 * rate));
  span = span(span <= count);
  t = (span - 1) / rate;
  gap = 60;
  h = figure('visible', 'off', 'position', [0 0 800 450]);
  hold on;
  events = find_onsets(codes(1:count));
  events = events(events >= span(1) & events <= span(end));
  colours = {[0.6 0.6 0.6], [0.85 0.1 0.1]};
  for e = events
    plot(((e - 1) / rate) * [1 1], [-gap * (numel(shown) + 0.7), -gap * 0.3], '-', 'color', colours{codes(e)}, ...
         'linewidth', 1.5);
  end
  every = max(1, round(rate / 128));      % 128 points a second are plenty on paper
  for k = 1:numel(shown)
    trace = eeg(shown(k), span);
    plot(t(1:every:end), trace(1:every:end) - mean(trace) - gap * k, 'k', 'linewidth', 0.5);
  end
  hs = plot(NaN, NaN, '-', 'color', colours{1}, 'linewidth', 1.5);
  ht = plot(NaN, NaN, '-', 'color', colours{2}, 'linewidth', 1.5);
  set(gca, 'ytick', -gap * numel(shown):gap:-gap, 'yticklabel', arrayfun(@(c) sprintf('EEG %d', c), ...
      montage(shown(end:-1:1)), 'UniformOutput', false));
  xlim([t(1), t(end)]);
  ylim([-gap * (numel(shown) + 0.8), -gap * 0.2]);
  xlabel('time since the session started (s)');
  ylabel(sprintf('channel (%d \\muV between traces)', gap));
  title(sprintf('Raw EEG with the event markers (EEG %d and %d carry the response, %d and %d do not)', montage(shown)));
  legend([hs, ht], {'standard', 'target'}, 'location', 'northeastoutside');
  file = fullfile(folder, 'bci_raw.png');
  print(h, '-dpngcairo', '-r100', file);
  close(h);
end

function file = draw_average(folder, eeg, count, rate, montage, onsets, labels)
  % Class averages from 100 ms before to 800 ms after the event, relative
  % to the 100 ms before it, smoothed by a centred 100 ms running mean,
  % which cancels the 10 Hz alpha rhythm and the 50 Hz line pickup.
  before = round(0.1 * rate);
  len = before + round(0.8 * rate);
  win = round(0.1 * rate);
  pad = floor(win / 2);
  first = -before - pad;                  % first sweep read, relative to the onset
  keep = onsets + first >= 1 & onsets + first + len + win - 2 <= count;
  onsets = onsets(keep);
  labels = labels(keep);
  avg = zeros(rows(eeg), len, 2);
  for c = 1:2
    total = zeros(rows(eeg), len + win - 1);
    for onset = onsets(labels == c)
      total += eeg(:, onset + first:onset + first + len + win - 2);
    end
    sums = [zeros(rows(eeg), 1), cumsum(total / sum(labels == c), 2)];
    avg(:, :, c) = (sums(:, win + 1:end) - sums(:, 1:end - win)) / win;
    avg(:, :, c) -= mean(avg(:, 1:before, c), 2);
  end
  % The channels that carry the response: a target-minus-standard
  % difference at 250 to 350 ms of at least half the largest.
  window = before + (round(0.25 * rate) + 1:round(0.35 * rate));
  diff_at_peak = mean(avg(:, window, 2) - avg(:, window, 1), 2);
  carry = find(diff_at_peak >= 0.5 * max(diff_at_peak));
  t = 1000 * ((0:len - 1) - before) / rate;
  target = mean(avg(carry, :, 2), 1);
  standard = mean(avg(carry, :, 1), 1);
  h = figure('visible', 'off', 'position', [0 0 800 450]);
  plot(t, target, 'color', [0.85 0.1 0.1], 'linewidth', 2, ...
       t, standard, 'color', [0.3 0.3 0.3], 'linewidth', 2, ...
       t, target - standard, '--', 'color', [0.1 0.3 0.8], 'linewidth', 1.5);
  hold on;
  plot([t(1) t(end)], [0 0], 'k:', [0 0], [-2 5], 'k:');
  xlim([t(1) t(end)]);
  xlabel('time after the event (ms)');
  ylabel('amplitude (\muV)');
  title(sprintf('Averaged responses over EEG %s (%d targets, %d standards)', ...
        strjoin(arrayfun(@num2str, montage(carry), 'UniformOutput', false), ', '), sum(labels == 2), sum(labels == 1)));
  legend({'target', 'standard', 'target - standard'}, 'location', 'northeast');
  text(t(1) + 10, -1.3, 'baseline: the 100 ms before the event; smoothed by a 100 ms running mean;');
  text(t(1) + 10, -1.65, 'an event comes every 250 ms, so each average also holds the responses of its neighbours');
  file = fullfile(folder, 'bci_average.png');
  print(h, '-dpngcairo', '-r100', file);
  close(h);
end

function file = draw_scores(folder, heldout_t, heldout_dv, heldout_y, online_t, online_y, online_dv)
  h = figure('visible', 'off', 'position', [0 0 800 450]);
  hold on;
  red = [0.85 0.1 0.1];
  grey = [0.45 0.45 0.45];
  t = [heldout_t(:); online_t(:)];
  v = [heldout_dv(:); online_dv(:)];
  y = [heldout_y(:); online_y(:)];
  plot(t(y == 1), v(y == 1), 'o', 'color', grey, 'markersize', 5);
  plot(t(y == 2), v(y == 2), 'o', 'color', red, 'markerfacecolor', red, 'markersize', 6);
  limits = [min(t) - 0.5, max(t) + 0.5];
  plot(limits, [0 0], 'k-');
  if ~isempty(online_t)
    top = max(abs(v)) * 1.1;
    plot(online_t(1) - 0.125 * [1 1], [-top top], 'k--');
    text(online_t(1), top * 0.9, ' online');
    text(heldout_t(1), top * 0.9, ' held out');
  end
  xlim(limits);
  xlabel('event time since the session started (s)');
  ylabel('classifier score (> 0: target)');
  title('Linear classifier scores of the held-out and online epochs');
  legend({'standard', 'target'}, 'location', 'southeast');
  file = fullfile(folder, 'bci_scores.png');
  print(h, '-dpngcairo', '-r100', file);
  close(h);
end
