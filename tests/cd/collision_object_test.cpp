// The collision library: models of triangles placed by world matrices, tested against each other.
#include <CD.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

struct Destroyer {
    void operator()(CCollisionObject* o) const { o->Destroy(); }
};
using Object = std::unique_ptr<CCollisionObject, Destroyer>;

// A cube of side 1 around the origin from its first n triangles.
Object Cube(bool end = true, int n = 12) {
    Object o(newCollisionObject());
    auto c = [](int i) { return D3DXVECTOR3(i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f); };
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (int f = 0; f < n; f++) o->AddTriangle(c(faces[f][0]), c(faces[f][1]), c(faces[f][2]));
    if (end) o->EndModel();
    return o;
}

// Scaled along x, y, z, turned about y, moved along x: a D3DX row-vector matrix.
D3DXMATRIX Place(float x, float yaw = 0.0f, float sx = 1.0f, float sz = 1.0f) {
    const float c = std::cos(yaw), s = std::sin(yaw);
    return D3DXMATRIX(sx * c, 0, -sx * s, 0, 0, 1, 0, 0, sz * s, 0, sz * c, 0, x, 0, 0, 1);
}

bool Touch(const Object& a, const Object& b) {
    const bool ab = a->Collide(b.get(), 0);
    EXPECT_EQ(ab, b->Collide(a.get(), 7)) << "the test is symmetric and ignores the flag";
    return ab;
}

TEST(CollisionObject, ModelsTouchWhereTheirMatricesPlaceAndSizeThem) {
    Object a = Cube(), b = Cube(false);
    D3DXMATRIX m = Place(0.9f, 0.0f, 4.0f);
    b->SetWorldMatrix(&m);  // before the model, and copied
    m = Place(2.0f);
    b->EndModel();
    EXPECT_TRUE(Touch(a, b));
    b->SetWorldMatrix(&m);
    EXPECT_FALSE(Touch(a, b));
    for (D3DXMATRIX reaching : {Place(2.0f, 0.0f, 4.0f), Place(2.0f, 0.0f, -4.0f), Place(2.0f, float(M_PI) / 2, 1, 4),
                                Place(1.15f, float(M_PI) / 4), Place(-0.9f)}) {
        b->SetWorldMatrix(&reaching);
        EXPECT_TRUE(Touch(a, b));
    }
    m = Place(1.15f);
    b->SetWorldMatrix(&m);
    EXPECT_FALSE(Touch(a, b));
}

TEST(CollisionObject, WithoutAModelAPartnerOrAFiniteMatrixNothingCollides) {
    Object a = Cube(), unended = Cube(false), empty = Cube(true, 0), b = Cube();
    EXPECT_FALSE(Touch(a, unended));
    EXPECT_FALSE(Touch(a, empty));
    EXPECT_FALSE(a->Collide(nullptr, 0));
    D3DXMATRIX m = Place(NAN);
    a->SetWorldMatrix(&m);
    EXPECT_FALSE(Touch(a, b));
    m = Place(0.0f);
    a->SetWorldMatrix(&m);
    EXPECT_TRUE(Touch(a, b));
}

}  // namespace
