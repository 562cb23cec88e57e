#include "contactcombinerule.h"

#include "contact.h"

namespace {

QStringList cols(std::initializer_list<int> numbers)
{
    QStringList list;
    for (int n : numbers)
        list << QStringLiteral("data%1").arg(n);
    return list;
}

} // namespace

QStringList LocalDbCombineRule::keyColumns(int type) const
{
    switch (type) {
    case pim::ENTITY_PHOTO:
        return cols({4});
    case pim::ENTITY_ORGANIZATION:
        return cols({1, 4, 5});
    case pim::ENTITY_PHONE:
    case pim::ENTITY_EMAIL:
    case pim::ENTITY_NICKNAME:
    case pim::ENTITY_EVENT:
    case pim::ENTITY_GROUP:
    case pim::ENTITY_IM:
    case pim::ENTITY_NOTE:
    case pim::ENTITY_RELATION:
    case pim::ENTITY_POSTAL:
    case pim::ENTITY_WEBSITE:
        return cols({1});
    default:
        return {};
    }
}

QStringList LocalDbCombineRule::matchColumns(int type) const
{
    switch (type) {
    case pim::ENTITY_IM:
        return cols({1, 5, 6});
    default:
        return keyColumns(type);
    }
}

QStringList LocalDbCombineRule::compareColumns(int type) const
{
    switch (type) {
    case pim::ENTITY_PHONE:
    case pim::ENTITY_EMAIL:
    case pim::ENTITY_EVENT:
    case pim::ENTITY_RELATION:
    case pim::ENTITY_WEBSITE:
        return cols({1, 2, 3});
    case pim::ENTITY_IM:
        return cols({1, 2, 3, 5, 6});
    case pim::ENTITY_POSTAL:
        return cols({2, 3, 4, 7, 8, 9, 10});
    default:
        return keyColumns(type);
    }
}

QStringList LocalDbCombineRule::mergeColumns(int type, bool* singleRow) const
{
    bool single = false;
    QStringList list;
    switch (type) {
    case pim::ENTITY_PHOTO:
        single = true;
        list = cols({4, 15});
        break;
    case pim::ENTITY_NICKNAME:
        single = true;
        list = cols({1});
        break;
    case pim::ENTITY_GROUP:
        single = true;
        list = cols({1, 2});
        break;
    case pim::ENTITY_ORGANIZATION:
        single = true;
        list = cols({1, 4, 5});
        break;
    case pim::ENTITY_NOTE:
        list = cols({1});
        break;
    case pim::ENTITY_POSTAL:
        list = cols({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        break;
    case pim::ENTITY_PHONE:
    case pim::ENTITY_EMAIL:
    case pim::ENTITY_EVENT:
    case pim::ENTITY_RELATION:
    case pim::ENTITY_WEBSITE:
    case pim::ENTITY_IM:
        list = compareColumns(type);
        break;
    default:
        break;
    }
    if (singleRow)
        *singleRow = single;
    return list;
}
