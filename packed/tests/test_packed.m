% tri_pack_f32, tri_unpack_f32 and tri_qform_f32 through Octave.
randn('state', 105); rand('state', 105);   % seeded, so that a failure can be reproduced
S = single([1 4 7; 2 5 8; 3 6 9]);
P = tri_pack_f32(S);
assert(class(P), 'single');
assert(P, single([1; 4; 5; 7; 8; 9]));
U = tri_unpack_f32(P);
assert(class(U), 'single');
assert(U, single([1 4 7; 4 5 8; 7 8 9]));
assert(tri_qform_f32(P, [1; 2; 3]), 256);

% Round trips keep every bit, NaN payloads and signed zeros included.
B = single(randn(50));
B = B + B';
B(1, 1) = typecast(uint32(hex2dec('7fc01234')), 'single');
B(2, 2) = -0;
P = tri_pack_f32(B);
assert(numel(P), 50 * 51 / 2);
assert(isequal(typecast(tri_pack_f32(tri_unpack_f32(P)), 'uint32'), typecast(P, 'uint32')));
Bu = tri_unpack_f32(P);
assert(isequal(typecast(Bu(:), 'uint32'), typecast(B(:), 'uint32')));

% The quadratic form agrees with x' * S * x in double.
S = single(randn(200)); S = S + S';
x = randn(200, 1);
assert(abs(tri_qform_f32(tri_pack_f32(S), x) - x' * double(S) * x) < 1e-9 * norm(x) ^ 2 * norm(double(S)));

% Empty and 1 x 1 cases.
assert(size(tri_pack_f32(single(zeros(0, 0)))), [0 1]);
assert(size(tri_unpack_f32(single(zeros(0, 1)))), [0 0]);
assert(tri_qform_f32(single(zeros(0, 1)), zeros(0, 1)), 0);
assert(tri_pack_f32(single(3)), single(3));
assert(tri_qform_f32(single(1.5), 0.3), (1.5 * 0.3) * 0.3);

% Bad input.
assert_error(@() tri_pack_f32(), 'tri_pack_f32:nargin');
assert_error(@() tri_pack_f32([1 2; 3 4]), 'tri_pack_f32:notSingle');
assert_error(@() tri_pack_f32(single(ones(3, 2))), 'tri_pack_f32:notSquare');
assert_error(@() tri_unpack_f32(single([1; 2])), 'tri_unpack_f32:notTriangular');
assert_error(@() tri_unpack_f32([1; 2; 3]), 'tri_unpack_f32:notSingle');
assert_error(@() tri_qform_f32(single([1; 2; 3; 4; 5]), [1; 2; 3]), 'tri_qform_f32:shortPacked');
assert_error(@() tri_qform_f32(single([1; 2; 3]), single([1; 2])), 'tri_qform_f32:notDouble');
assert_error(@() tri_qform_f32(single([1; 2; 3])), 'tri_qform_f32:nargin');
try
  [q, extra] = tri_qform_f32(single(1), 2);
  error('test:noError', 'a second output was accepted');
catch err
  assert(err.identifier, 'tri_qform_f32:nargout');
end
printf('packed: all Octave checks passed\n');
