"""Checks a BDF file with MNE-Python against reference words and onsets.

    /usr/bin/python3 check_mne.py FILE.bdf REF.words [REF.events]
                     [--prefix] [--min-seconds S]

REF.words: int32 little-endian, sweep after sweep, each sweep the words of
the file's signals in the file's order (Status last), as the amplifier gave
them (the sample in the upper three bytes).  REF.events: one onset per line,
"sweep code" (sweep 1 = the file's first); without it the onsets are taken
from the reference's Status words.  --prefix compares the sweeps the file
and the reference share (a recording that went on after the reference
ended, or a killed one); without it both must hold the same sweeps.
--min-seconds: the file must hold at least that much.

Samples: every signal, Status included, is read with stim_channel=None (so
that MNE scales Status like any channel and keeps all its 24 bits) and
turned back into digital units with the inverse of MNE's own calibration
(its cal, offsets and units); each value must land within 1e-3 of a whole
number, and that number must equal the reference word shifted right by 8.
Onsets: mne.find_events(raw, stim_channel='Status', mask=0xFFFF,
mask_type='and') with initial_event=True (an onset in the file's first
sweep counts), consecutive=True (a change from one non-zero code to another
is an onset too) and shortest_event=1: every onset at the same sweep with
the same code.  Prints one line and exits 0 when everything agrees, 77
when MNE-Python is not installed.
"""
import os
import sys

import numpy as np


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    prefix = "--prefix" in argv
    min_seconds = 0.0
    if "--min-seconds" in argv:
        min_seconds = float(argv[argv.index("--min-seconds") + 1])
        args.remove(argv[argv.index("--min-seconds") + 1])
    if len(args) < 2:
        print(__doc__)
        return 2
    path, words_path = args[0], args[1]
    events_path = args[2] if len(args) > 2 else None

    try:
        import mne
    except ImportError:
        print("mne: MNE-Python is not installed (Debian: python3-mne); skipped")
        return 77

    mne.set_log_level("ERROR")
    plain = mne.io.read_raw_bdf(path, stim_channel=None, preload=True)
    extras = plain._raw_extras[0]
    channels = len(plain.ch_names)
    ref = np.fromfile(words_path, dtype="<i4")
    if ref.size % channels:
        print(f"mne: {words_path} does not hold whole sweeps of {channels} words")
        return 1
    ref = ref.reshape(-1, channels).T >> 8
    n_file, n_ref = plain.n_times, ref.shape[1]
    seconds = n_file / plain.info["sfreq"]
    if seconds < min_seconds:
        print(f"mne: {path} holds {seconds:.3f} s, less than {min_seconds} s")
        return 1
    if n_file != n_ref and not prefix:
        print(f"mne: {path} holds {n_file} sweeps, the reference {n_ref}")
        return 1
    n = min(n_file, n_ref)

    data = plain.get_data()[:, :n]
    cal = np.asarray(extras["cal"], dtype=float)[:, None]
    offsets = np.asarray(extras["offsets"], dtype=float)[:, None]
    units = np.asarray(extras["units"], dtype=float)[:, None]
    digital = (data / units - offsets) / cal
    whole = np.round(digital)
    off_grid = np.abs(digital - whole).max() if n else 0.0
    if off_grid > 1e-3:
        print(f"mne: {path}: a sample lies {off_grid:.3g} steps off the digital grid")
        return 1
    bad = np.argwhere(whole != ref[:, :n])
    if bad.size:
        c, t = bad[0]
        print(f"mne: {path}: {len(bad)} samples differ; first {plain.ch_names[c]} at sweep {t + 1}: "
              f"{int(whole[c, t])} instead of {int(ref[c, t])}")
        return 1

    if events_path:
        expected = np.loadtxt(events_path, dtype=np.int64, ndmin=2).reshape(-1, 2)
    else:
        codes = ref[-1] & 0xFFFF
        before = np.concatenate(([0], codes[:-1]))
        onsets = np.flatnonzero((codes != 0) & (codes != before))
        expected = np.stack((onsets + 1, codes[onsets]), axis=1)
    expected = expected[expected[:, 0] <= n]
    stim = mne.io.read_raw_bdf(path, preload=True)
    found = mne.find_events(stim, stim_channel="Status", mask=0xFFFF, mask_type="and", initial_event=True,
                            consecutive=True, shortest_event=1)
    found = np.stack((found[:, 0] - stim.first_samp + 1, found[:, 2]), axis=1)
    found = found[found[:, 0] <= n]
    if found.shape != expected.shape or (found != expected).any():
        print(f"mne: {path}: find_events gives {len(found)} onsets, the reference {len(expected)}; "
              f"first of each: {found[:1].tolist()} {expected[:1].tolist()}")
        return 1
    print(f"mne: {os.path.basename(path)}: {n} sweeps x {channels} channels equal the reference "
          f"({n_file} in the file, {seconds:.3f} s); {len(found)} onsets at the same sweeps")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
