% eegmex: native extensions for an EEG and machine-learning workflow.
%
% Amplifier acquisition
%   acq_start             - Load the amplifier driver, probe its status, start a session.
%   acq_fetch             - Fetch the sweeps that arrived since the previous fetch.
%   acq_stop              - Stop the session, close the driver, free the ring.
%   acq_stop_all          - Stop every live session of this process.
%   acq_open              - Start a session read in the background into a history (and a BDF recording).
%   acq_read              - Every sweep of a session since the previous read.
%   acq_window            - Any span of a session's sweeps, by sweep number.
%   acq_events            - Trigger onsets of a session since the previous call, by sweep number.
%   acq_status            - Sweeps received, held and lost; the reader and the recording.
%   acq_close             - Stop a session opened with acq_open, finish its recording.
%   acq_decode            - Sweeps to microvolts, trigger codes and status flags.
%   ampsim_path           - Path of the simulated amplifier driver.
%
% BDF recordings (24-bit EDF)
%   bdf_read              - Read a BDF file: samples, header and trigger onsets.
%   bdf_repair            - Make a BDF file cut by a crash whole for strict readers.
%
% Support-vector kernels
%   gram_square           - Square Gram matrix of a data matrix under an SVM model's kernel.
%   gram_pair             - Kernel value of two rows under an SVM model's kernel.
%   svm_kernel_model      - Smallest SVM model struct that gram_square and gram_pair accept.
%
% Linear models
%   linmodel_train        - Train a liblinear linear model inside the host.
%   linmodel_predict      - Predict with a liblinear model, quietly, for online use.
%   linmodel_score        - Score test instances with a liblinear model struct.
%   linmodel_read         - Read a liblinear model file into a model struct.
%
% Low-rank kernel factorization (pivoted incomplete Cholesky)
%   icf_rbf               - Gaussian kernel.
%   icf_dotpower          - Polynomial kernel.
%   icf_ortho             - Hermite-type kernel.
%   icf_matrix            - A given kernel matrix.
%
% Integer lattices and multi-index sets
%   linidx_coords         - Linear indices to grid coordinates.
%   lattice_frontier      - Admissible forward neighbours, searched over the active dimensions.
%   lattice_frontier_full - Admissible forward neighbours, every dimension searched alike.
%   lattice_extend        - Forward steps of one multi-index past a blocking set.
%   lattice_mismatch      - Coordinate mismatch counts against a set.
%   lattice_nearest       - Member with the fewest mismatches.
%
% Packed symmetric single-precision matrices
%   tri_pack_f32          - Pack a symmetric matrix into a triangle vector.
%   tri_unpack_f32        - Unpack a triangle vector into a symmetric matrix.
%   tri_qform_f32         - Quadratic form x'*S*x with a packed S.
%
% Demos
%   demo_bci              - A live oddball brain-computer interface: acquire, learn, classify online.
%   run_demos             - Run demo_bci, then every other demo.
%   demo_acquisition      - A three-second acquisition from the simulated amplifier.
%   demo_factorizations   - The four factorizations: rank, error of G*G' and time.
%   demo_lowrank          - icf_rbf at several tolerances against the full kernel matrix.
%   demo_svkernel         - gram_square and gram_pair for the five kernel types.
%   demo_linmodel         - Train with liblinear-train, read with linmodel_read, score.
%   demo_lattice          - Grid coordinates and the growth of a multi-index set.
%   demo_packed           - Pack, unpack and the quadratic form of a covariance.
%   figures_ready         - Prepare the demos' figures, drawn without a display.
