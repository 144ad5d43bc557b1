// The collision library on FCL: each model is a bounding-volume hierarchy of OBBRSS volumes over
// its triangles, placed by the rigid part of its world matrix.
#include <CD.h>

#include <Eigen/SVD>
#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/math/bv/OBBRSS.h>
#include <fcl/narrowphase/collision.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

namespace {

using Model = fcl::BVHModel<fcl::OBBRSSd>;

// A scale smaller than this relative change does not rebuild the model.
constexpr double kShapeTolerance = 1e-5;

// A world matrix as FCL can take it: a rotation and a translation, and the linear part that is
// left (scale, mirror, shear), which goes into the vertices. Linear part = rotation * shape.
struct Placement {
    fcl::Transform3d pose = fcl::Transform3d::Identity();
    Eigen::Matrix3d shape = Eigen::Matrix3d::Identity();
};

bool Finite(const D3DXMATRIX& m) {
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            if (!std::isfinite(m.m[i][j])) return false;
    return true;
}

Placement Split(const D3DXMATRIX& m) {
    // D3DX matrices take row vectors: the column-vector linear part is the upper 3 x 3 transposed.
    Eigen::Matrix3d linear;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) linear(i, j) = m.m[j][i];

    // Polar decomposition through the SVD, keeping the rotation proper (a mirror stays in the shape).
    Eigen::JacobiSVD<Eigen::Matrix3d> svd(linear, Eigen::ComputeFullU | Eigen::ComputeFullV);
    Eigen::Matrix3d u = svd.matrixU();
    const Eigen::Matrix3d& v = svd.matrixV();
    Eigen::Vector3d sigma = svd.singularValues();
    if ((u * v.transpose()).determinant() < 0) {
        u.col(2) = -u.col(2);
        sigma(2) = -sigma(2);
    }

    Placement p;
    p.pose.linear() = u * v.transpose();
    p.pose.translation() = Eigen::Vector3d(m._41, m._42, m._43);
    p.shape = v * sigma.asDiagonal() * v.transpose();
    return p;
}

Eigen::Vector3d Vec(const D3DXVECTOR3& v) { return Eigen::Vector3d(v.x, v.y, v.z); }

class CollisionModel final : public CCollisionObject {
public:
    void Destroy() override { delete this; }

    void AddTriangle(D3DXVECTOR3 a, D3DXVECTOR3 b, D3DXVECTOR3 c) override { triangles_.push_back({a, b, c}); }

    void EndModel() override {
        modelTriangles_ = triangles_.size();
        Place();
        Build();
    }

    // Called whenever the frame moves: the matrix is only kept until a collision test needs it.
    void SetWorldMatrix(D3DXMATRIX* pMatrix) override {
        if (pMatrix == nullptr) return;
        placed_ = Finite(*pMatrix);
        if (!placed_) return;
        matrix_ = *pMatrix;
        moved_ = true;
    }

    void Reserved() override {}

    bool Collide(CCollisionObject* pOther, int) override {
        CollisionModel* other = static_cast<CollisionModel*>(pOther);
        if (other == nullptr || !Prepare() || !other->Prepare()) return false;
        fcl::CollisionRequestd request;
        fcl::CollisionResultd result;
        fcl::collide(model_.get(), pose_, other->model_.get(), other->pose_, request, result);
        return result.isCollision();
    }

private:
    // Takes the last world matrix into the pose and the shape.
    void Place() {
        if (!moved_) return;
        moved_ = false;
        Placement p = Split(matrix_);
        pose_ = p.pose;
        shape_ = p.shape;
    }

    // Placed, with the model rebuilt if the shape changed; false without a model or a usable matrix.
    bool Prepare() {
        if (model_ == nullptr || !placed_) return false;
        Place();
        const double size = std::max(1.0, modelShape_.cwiseAbs().maxCoeff());
        if ((shape_ - modelShape_).cwiseAbs().maxCoeff() > kShapeTolerance * size) Build();
        return model_ != nullptr;
    }

    // The model of the triangles up to the last EndModel, in the current shape.
    void Build() {
        model_.reset();
        modelShape_ = shape_;
        if (modelTriangles_ == 0) return;
        auto model = std::make_unique<Model>();
        model->beginModel(int(modelTriangles_), int(3 * modelTriangles_));
        for (size_t i = 0; i < modelTriangles_; i++) {
            const auto& t = triangles_[i];
            model->addTriangle(shape_ * Vec(t[0]), shape_ * Vec(t[1]), shape_ * Vec(t[2]));
        }
        if (model->endModel() != fcl::BVH_OK) return;
        model->computeLocalAABB();
        model_ = std::move(model);
    }

    std::vector<std::array<D3DXVECTOR3, 3>> triangles_;
    size_t modelTriangles_ = 0;
    std::unique_ptr<Model> model_;
    Eigen::Matrix3d modelShape_ = Eigen::Matrix3d::Identity();
    Eigen::Matrix3d shape_ = Eigen::Matrix3d::Identity();
    fcl::Transform3d pose_ = fcl::Transform3d::Identity();
    D3DXMATRIX matrix_ = {};
    bool moved_ = false;
    bool placed_ = true;
};

}  // namespace

CD_API CCollisionObject* newCollisionObject() { return new (std::nothrow) CollisionModel(); }
