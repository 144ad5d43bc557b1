#include "toolbox.h"

#include <cmath>
#include <new>



static const float kPi = 3.1415927f;

float RadiansToDegrees(float r) { return r * 180.0f / kPi; }

D3DXVECTOR3* QuaternionToEuler(D3DXVECTOR3* pOut, D3DXQUATERNION q) {
    double sqw = (double)q.w * q.w, sqx = (double)q.x * q.x;
    double sqy = (double)q.y * q.y, sqz = (double)q.z * q.z;
    double k1 = sqw + sqx - sqy - sqz;
    double k2 = 2.0 * ((double)q.x * q.y + (double)q.w * q.z);
    double k3 = 2.0 * ((double)q.x * q.z - (double)q.w * q.y);
    double k4 = 2.0 * ((double)q.y * q.z + (double)q.w * q.x);
    double k5 = sqw - sqx - sqy + sqz;
    if (fabs(k3) <= 0.999999) {
        pOut->x = RadiansToDegrees((float)atan2(k4, k5));
        pOut->y = RadiansToDegrees((float)asin(-k3));
        pOut->z = RadiansToDegrees((float)atan2(k2, k1));
    } else {
        double k6 = 2.0 * ((double)q.x * q.y - (double)q.w * q.z);
        double k7 = 2.0 * ((double)q.x * q.z + (double)q.w * q.y);
        pOut->x = RadiansToDegrees(0.0f);
        pOut->y = RadiansToDegrees((float)(-(kPi / 2.0f) * k3 / fabs(k3)));
        pOut->z = RadiansToDegrees((float)atan2(-k6, -k3 * k7));
    }
    return pOut;
}

float MagnitudeDifference(float a, float b) {
    if (b > 0 && a < 0) return b + a;
    if (b > 0 && a > 0) return b - a;
    if (b < 0 && a < 0) return -(b - a);
    if (b < 0 && a > 0) return -b - a;
    return fabsf(b) - fabsf(a);
}

float AbsoluteDifference(float a, float b) { return a > b ? a - b : b - a; }

float AngleToHeading(float v) {
    struct Rule {
        float from, to, heading;
    };
    static const Rule kRules[] = {
        {5.0f, 7.5f, 0},      {0.5f, 1.25f, 45},   {1.25f, 1.85f, 90},  {1.85f, 2.85f, 135},
        {2.85f, 3.2f, 180},   {3.2f, 4.0f, 225},   {4.0f, 5.0f, 270},   {5.0f, 6.0f, 335},
        {-0.5f, 0.5f, 180},   {-2.5f, -2.0f, 135}, {-3.3f, -2.5f, 0},   {-4.0f, -3.3f, 225},
        {-5.0f, -4.0f, 90},   {-6.5f, -5.0f, 335}, {-2.0f, -1.0f, 270}, {-1.0f, -0.5f, 45},
    };
    // Values that no rule covers (and NaN) have no heading: 0.
    float heading = 0.0f;
    for (const Rule& rule : kRules)
        if (v >= rule.from && v < rule.to) heading = rule.heading;
    return heading;
}

int LinearPathPoint(CPathSegment segment, float t, D3DXVECTOR3* pOut) {
    *pOut = segment.vStart + t * (segment.vEnd - segment.vStart);
    return 0;
}

int BezierPathPoint(CPathSegment segment, float t, D3DXVECTOR3* pOut) {
    float u = 1.0f - t;
    *pOut = (u * u * u) * segment.vStart;
    *pOut += (3.0f * t * u * u) * segment.vControl1;
    *pOut += (3.0f * t * t * u) * segment.vControl2;
    *pOut += (t * t * t) * segment.vEnd;
    return 0;
}

CIntList* CIntList::GetNext() { return pNext; }

void CIntList::Append(int value) {
    CIntList* head = g_pIntListHead;
    if (head == NULL) return;
    if (head->nValue == 0) {
        head->nValue = value;
        head->pNext = NULL;
        return;
    }
    CIntList* last = head;
    while (last->GetNext() != NULL) last = last->GetNext();
    CIntList* node = new (std::nothrow) CIntList();
    if (node == NULL) return;
    node->nValue = value;
    node->pNext = NULL;
    last->pNext = node;
}
