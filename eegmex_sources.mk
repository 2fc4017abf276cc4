# Build lists of the toolbox, written by CMake (eegmex_write_build_lists in
# cmake/eegmex.cmake) from the subsystems' CMakeLists.txt.  The Octave
# package's Makefile and eegmex_build.m read it; do not edit it: after a
# change to a CMakeLists.txt, `make build-lists` refreshes it.
# Paths are relative to the top of the source tree; LIBS are system
# libraries by short name (threads: the compiler's thread option); SHARED
# are the shared libraries of EEGMEX_SHARED that a MEX file links (found
# beside it); DEFINES are a shared library's preprocessor definitions, for
# its OWN_SOURCES (the others come from our static libraries).
# EEGMEX_CXXFLAGS are the compiler flags of every source in a release
# build (besides -fPIC and the include folders).
EEGMEX_VERSION := 1.0.0
EEGMEX_CXXFLAGS := -O3 -DNDEBUG -ffp-contract=off -fno-fast-math -std=c++17
EEGMEX_MEX := icf_rbf icf_dotpower icf_ortho icf_matrix bdf_read bdf_repair acq_start acq_fetch acq_stop acq_stop_all gram_square gram_pair linmodel_score linmodel_train linmodel_predict linidx_coords lattice_frontier lattice_frontier_full lattice_extend lattice_mismatch lattice_nearest tri_pack_f32 tri_unpack_f32 tri_qform_f32
icf_rbf_SOURCES := lowrank/icf_rbf.cpp lowrank/rbf.cpp lowrank/dotpower.cpp lowrank/ortho.cpp lowrank/matrix.cpp lowrank/memory.cpp lowrank/team.cpp lowrank/panel.cpp lowrank/panel_avx2.cpp lowrank/panel_avx512.cpp lowrank/panel_dispatch.cpp host/huge_pages.cpp
icf_rbf_LIBS := threads
icf_rbf_SHARED := 
icf_rbf_HELP := lowrank/icf_rbf.m
icf_dotpower_SOURCES := lowrank/icf_dotpower.cpp lowrank/rbf.cpp lowrank/dotpower.cpp lowrank/ortho.cpp lowrank/matrix.cpp lowrank/memory.cpp lowrank/team.cpp lowrank/panel.cpp lowrank/panel_avx2.cpp lowrank/panel_avx512.cpp lowrank/panel_dispatch.cpp host/huge_pages.cpp
icf_dotpower_LIBS := threads
icf_dotpower_SHARED := 
icf_dotpower_HELP := lowrank/icf_dotpower.m
icf_ortho_SOURCES := lowrank/icf_ortho.cpp lowrank/rbf.cpp lowrank/dotpower.cpp lowrank/ortho.cpp lowrank/matrix.cpp lowrank/memory.cpp lowrank/team.cpp lowrank/panel.cpp lowrank/panel_avx2.cpp lowrank/panel_avx512.cpp lowrank/panel_dispatch.cpp host/huge_pages.cpp
icf_ortho_LIBS := threads
icf_ortho_SHARED := 
icf_ortho_HELP := lowrank/icf_ortho.m
icf_matrix_SOURCES := lowrank/icf_matrix.cpp lowrank/rbf.cpp lowrank/dotpower.cpp lowrank/ortho.cpp lowrank/matrix.cpp lowrank/memory.cpp lowrank/team.cpp lowrank/panel.cpp lowrank/panel_avx2.cpp lowrank/panel_avx512.cpp lowrank/panel_dispatch.cpp host/huge_pages.cpp
icf_matrix_LIBS := threads
icf_matrix_SHARED := 
icf_matrix_HELP := lowrank/icf_matrix.m
bdf_read_SOURCES := bdf/bdf_read.cpp bdf/format.cpp bdf/file.cpp bdf/pack.cpp bdf/writer.cpp bdf/reader.cpp host/huge_pages.cpp
bdf_read_LIBS := 
bdf_read_SHARED := 
bdf_read_HELP := bdf/bdf_read.m
bdf_repair_SOURCES := bdf/bdf_repair.cpp bdf/format.cpp bdf/file.cpp bdf/pack.cpp bdf/writer.cpp bdf/reader.cpp
bdf_repair_LIBS := 
bdf_repair_SHARED := 
bdf_repair_HELP := bdf/bdf_repair.m
acq_start_SOURCES := acquisition/acq_start.cpp acquisition/status.cpp acquisition/ring.cpp acquisition/start.cpp host/dynlib.cpp
acq_start_LIBS := dl
acq_start_SHARED := acq_sessions
acq_start_HELP := acquisition/acq_start.m
acq_fetch_SOURCES := acquisition/acq_fetch.cpp acquisition/status.cpp acquisition/ring.cpp acquisition/start.cpp host/dynlib.cpp
acq_fetch_LIBS := dl
acq_fetch_SHARED := acq_sessions
acq_fetch_HELP := acquisition/acq_fetch.m
acq_stop_SOURCES := acquisition/acq_stop.cpp acquisition/status.cpp acquisition/ring.cpp acquisition/start.cpp host/dynlib.cpp
acq_stop_LIBS := dl
acq_stop_SHARED := acq_sessions
acq_stop_HELP := acquisition/acq_stop.m
acq_stop_all_SOURCES := acquisition/acq_stop_all.cpp acquisition/status.cpp acquisition/ring.cpp acquisition/start.cpp host/dynlib.cpp
acq_stop_all_LIBS := dl
acq_stop_all_SHARED := acq_sessions
acq_stop_all_HELP := acquisition/acq_stop_all.m
gram_square_SOURCES := svkernel/gram_square.cpp svkernel/kernel.cpp host/huge_pages.cpp
gram_square_LIBS := threads
gram_square_SHARED := 
gram_square_HELP := svkernel/gram_square.m
gram_pair_SOURCES := svkernel/gram_pair.cpp svkernel/kernel.cpp host/huge_pages.cpp
gram_pair_LIBS := threads
gram_pair_SHARED := 
gram_pair_HELP := svkernel/gram_pair.m
linmodel_score_SOURCES := linmodel/linmodel_score.cpp linmodel/scoring.cpp linmodel/instances.cpp linmodel/training.cpp
linmodel_score_LIBS := linear
linmodel_score_SHARED := 
linmodel_score_HELP := linmodel/linmodel_score.m
linmodel_train_SOURCES := linmodel/linmodel_train.cpp linmodel/scoring.cpp linmodel/instances.cpp linmodel/training.cpp
linmodel_train_LIBS := linear
linmodel_train_SHARED := 
linmodel_train_HELP := linmodel/linmodel_train.m
linmodel_predict_SOURCES := linmodel/linmodel_predict.cpp linmodel/scoring.cpp linmodel/instances.cpp linmodel/training.cpp
linmodel_predict_LIBS := linear
linmodel_predict_SHARED := 
linmodel_predict_HELP := linmodel/linmodel_predict.m
linidx_coords_SOURCES := lattice/linidx_coords.cpp lattice/grid.cpp lattice/frontier.cpp lattice/steps.cpp lattice/mismatch.cpp
linidx_coords_LIBS := 
linidx_coords_SHARED := 
linidx_coords_HELP := lattice/linidx_coords.m
lattice_frontier_SOURCES := lattice/lattice_frontier.cpp lattice/grid.cpp lattice/frontier.cpp lattice/steps.cpp lattice/mismatch.cpp
lattice_frontier_LIBS := 
lattice_frontier_SHARED := 
lattice_frontier_HELP := lattice/lattice_frontier.m
lattice_frontier_full_SOURCES := lattice/lattice_frontier_full.cpp lattice/grid.cpp lattice/frontier.cpp lattice/steps.cpp lattice/mismatch.cpp
lattice_frontier_full_LIBS := 
lattice_frontier_full_SHARED := 
lattice_frontier_full_HELP := lattice/lattice_frontier_full.m
lattice_extend_SOURCES := lattice/lattice_extend.cpp lattice/grid.cpp lattice/frontier.cpp lattice/steps.cpp lattice/mismatch.cpp
lattice_extend_LIBS := 
lattice_extend_SHARED := 
lattice_extend_HELP := lattice/lattice_extend.m
lattice_mismatch_SOURCES := lattice/lattice_mismatch.cpp lattice/grid.cpp lattice/frontier.cpp lattice/steps.cpp lattice/mismatch.cpp
lattice_mismatch_LIBS := 
lattice_mismatch_SHARED := 
lattice_mismatch_HELP := lattice/lattice_mismatch.m
lattice_nearest_SOURCES := lattice/lattice_nearest.cpp lattice/grid.cpp lattice/frontier.cpp lattice/steps.cpp lattice/mismatch.cpp
lattice_nearest_LIBS := 
lattice_nearest_SHARED := 
lattice_nearest_HELP := lattice/lattice_nearest.m
tri_pack_f32_SOURCES := packed/tri_pack_f32.cpp packed/tri.cpp
tri_pack_f32_LIBS := 
tri_pack_f32_SHARED := 
tri_pack_f32_HELP := packed/tri_pack_f32.m
tri_unpack_f32_SOURCES := packed/tri_unpack_f32.cpp packed/tri.cpp
tri_unpack_f32_LIBS := 
tri_unpack_f32_SHARED := 
tri_unpack_f32_HELP := packed/tri_unpack_f32.m
tri_qform_f32_SOURCES := packed/tri_qform_f32.cpp packed/tri.cpp
tri_qform_f32_LIBS := 
tri_qform_f32_SHARED := 
tri_qform_f32_HELP := packed/tri_qform_f32.m
EEGMEX_SHARED := acq_sessions ampsim
acq_sessions_SOURCES := acquisition/sessions.cpp host/dynlib.cpp
acq_sessions_OWN_SOURCES := acquisition/sessions.cpp
acq_sessions_LIBS := dl
acq_sessions_DEFINES := ACQ_SESSIONS_BUILD=1
ampsim_SOURCES := acquisition/simulator/ampsim.cpp acquisition/simulator/settings.cpp acquisition/simulator/replay.cpp acquisition/status.cpp acquisition/ring.cpp acquisition/start.cpp host/dynlib.cpp bdf/format.cpp bdf/file.cpp bdf/pack.cpp bdf/writer.cpp bdf/reader.cpp
ampsim_OWN_SOURCES := acquisition/simulator/ampsim.cpp acquisition/simulator/settings.cpp acquisition/simulator/replay.cpp
ampsim_LIBS := dl threads
ampsim_DEFINES := 
EEGMEX_MFILES := Contents.m acquisition/acq_close.m acquisition/acq_decode.m acquisition/acq_open.m acquisition/acq_read.m acquisition/simulator/ampsim_path.m svkernel/svm_kernel_model.m linmodel/linmodel_read.m
EEGMEX_DEMOS := demo/demo_acquisition.m demo/demo_bci.m demo/demo_factorizations.m demo/demo_lattice.m demo/demo_linmodel.m demo/demo_lowrank.m demo/demo_packed.m demo/demo_svkernel.m demo/figures_ready.m demo/run_demos.m
EEGMEX_HEADERS := acquisition/driver.h acquisition/ring.h acquisition/session_entry.h acquisition/session_scalars.h acquisition/sessions.h acquisition/simulator/replay.h acquisition/simulator/settings.h acquisition/simulator/sweeps.h acquisition/start.h acquisition/status.h bdf/bdf_entry.h bdf/file.h bdf/format.h bdf/pack.h bdf/reader.h bdf/writer.h host/dynlib.h host/huge_pages.h host/mexhost.h host/physical_memory.h lattice/frontier.h lattice/grid.h lattice/lattice_entry.h lattice/lattice_frontier_entry.h lattice/mismatch.h lattice/point_table.h lattice/steps.h linmodel/instances.h linmodel/linmodel_entry.h linmodel/scoring.h linmodel/training.h lowrank/dotpower.h lowrank/icf_entry.h lowrank/matrix.h lowrank/memory.h lowrank/ortho.h lowrank/panel.h lowrank/panel_isa.h lowrank/panel_loops.h lowrank/pivoted_icf.h lowrank/rbf.h lowrank/samples.h lowrank/team.h packed/tri.h svkernel/gram_entry.h svkernel/kernel.h svkernel/lanes.h svkernel/registry.h
