% DEMO_PACKED  Packed symmetric single matrices: pack, unpack and the
% quadratic form without unpacking, with the memory saved and the time
% against Octave's x' * S * x.
printf('Packed symmetric single-precision matrices.\n');
pk_S = single(magic(4)); pk_S = pk_S + pk_S';
pk_P = tri_pack_f32(pk_S);
printf('A symmetric 4 x 4 matrix packs into %d values (upper triangle, column by column):\n', numel(pk_P));
disp(pk_P');
printf('Unpacking gives the matrix back bit for bit: %d\n', isequal(tri_unpack_f32(pk_P), pk_S));
printf('x'' * S * x for x = [1 2 3 4]'': %g (tri_qform_f32) and %g (Octave)\n\n', ...
       tri_qform_f32(pk_P, (1:4)'), (1:4) * double(pk_S) * (1:4)');

randn('state', 3);
printf('%6s %12s %12s %14s %14s %10s\n', 'a', 'full [MB]', 'packed [MB]', 'qform [ms]', 'x''*S*x [ms]', 'rel. diff');
for pk_a = [500 2000 4000]
  pk_S = single(randn(pk_a)); pk_S = (pk_S + pk_S') / 2;
  pk_x = randn(pk_a, 1);
  pk_P = tri_pack_f32(pk_S);
  pk_t = tic; pk_q = tri_qform_f32(pk_P, pk_x); pk_tq = toc(pk_t);
  pk_Sd = double(pk_S);
  pk_t = tic; pk_r = pk_x' * pk_Sd * pk_x; pk_tr = toc(pk_t);
  printf('%6d %12.1f %12.1f %14.2f %14.2f %10.1e\n', pk_a, numel(pk_S) * 4 / 2^20, numel(pk_P) * 4 / 2^20, ...
         1e3 * pk_tq, 1e3 * pk_tr, abs(pk_q - pk_r) / abs(pk_r));
end
clear -regexp ^pk_
