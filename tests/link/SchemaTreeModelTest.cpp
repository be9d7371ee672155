// The table tree model: structure, labels, roles and maintenance. Every
// model here runs under QAbstractItemModelTester, which checks each change
// against the rules views rely on (and stops the test on a breach).
#include "desktop/link/SchemaTreeModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

using namespace devlink;

namespace {

QVector<TableSchema> TwoTables()
{
    ColumnSchema id;
    id.name = QStringLiteral("Id");
    id.typeText = QStringLiteral("int autoinc not null");
    id.isPrimaryKey = true;
    ColumnSchema name;
    name.name = QStringLiteral("Name");
    name.typeText = QStringLiteral("nvarchar(50)");
    return { { QStringLiteral("Customers"), { id, name } }, { QStringLiteral("Order Details"), { id } } };
}

TEST(SchemaTreeModelTest, RootBlankTableTablesAndColumns)
{
    SchemaTreeModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    m.SetSchema(QStringLiteral("\\My Documents\\Orders.sdf"), TwoTables());
    ASSERT_EQ(m.rowCount(), 1);
    QModelIndex root = m.RootIndex();
    EXPECT_EQ(root, m.index(0, 0));
    EXPECT_EQ(m.data(root).toString(), QStringLiteral("\\My Documents\\Orders.sdf"));
    EXPECT_EQ(m.data(root, SchemaTreeModel::ItemKindRole).toInt(), int(SchemaTreeModel::ItemKind::Database));
    ASSERT_EQ(m.rowCount(root), 3);
    QModelIndex blank = m.index(0, 0, root);
    EXPECT_EQ(m.data(blank).toString(), QStringLiteral("<Blank table>"));
    EXPECT_EQ(
        m.data(blank, SchemaTreeModel::ItemKindRole).toInt(), int(SchemaTreeModel::ItemKind::BlankTable));
    EXPECT_EQ(m.rowCount(blank), 0);
    QModelIndex customers = m.index(1, 0, root);
    EXPECT_EQ(m.data(customers).toString(), QStringLiteral("Customers"));
    EXPECT_EQ(m.parent(customers), root);
    ASSERT_EQ(m.rowCount(customers), 2);
    QModelIndex id = m.index(0, 0, customers);
    EXPECT_EQ(m.data(id).toString(), QStringLiteral("Id  [int autoinc not null]"));
    EXPECT_TRUE(m.data(id, SchemaTreeModel::PrimaryKeyRole).toBool());
    EXPECT_EQ(m.data(id, SchemaTreeModel::TableNameRole).toString(), QStringLiteral("Customers"));
    EXPECT_EQ(m.data(id, SchemaTreeModel::ColumnNameRole).toString(), QStringLiteral("Id"));
    QModelIndex name = m.index(1, 0, customers);
    EXPECT_EQ(m.data(name).toString(), QStringLiteral("Name  [nvarchar(50)]"));
    EXPECT_FALSE(m.data(name, SchemaTreeModel::PrimaryKeyRole).toBool());
    EXPECT_EQ(m.parent(name), customers);
    EXPECT_FALSE(m.index(3, 0, root).isValid());
    EXPECT_EQ(m.Tables(), TwoTables());
}

TEST(SchemaTreeModelTest, RootOnlyAndEmptySchema)
{
    SchemaTreeModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    m.SetRootOnly(QStringLiteral("\\a.sdf"));
    EXPECT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.rowCount(m.RootIndex()), 0);
    m.SetSchema(QStringLiteral("\\a.sdf"), {});
    ASSERT_EQ(m.rowCount(m.RootIndex()), 1);
    EXPECT_EQ(m.data(m.index(0, 0, m.RootIndex())).toString(), QStringLiteral("<Blank table>"));
    m.Clear();
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_FALSE(m.RootIndex().isValid());
}

TEST(SchemaTreeModelTest, RemoveAndRenameTables)
{
    SchemaTreeModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    m.SetSchema(QStringLiteral("\\a.sdf"), TwoTables());
    EXPECT_TRUE(m.RenameTable(QStringLiteral("Customers"), QStringLiteral("Clients")));
    EXPECT_EQ(m.data(m.TableIndex(QStringLiteral("Clients"))).toString(), QStringLiteral("Clients"));
    EXPECT_EQ(m.data(m.index(0, 0, m.TableIndex(QStringLiteral("Clients"))), SchemaTreeModel::TableNameRole)
                  .toString(),
        QStringLiteral("Clients"));
    EXPECT_FALSE(m.TableIndex(QStringLiteral("Customers")).isValid());
    EXPECT_TRUE(m.RemoveTable(QStringLiteral("Order Details")));
    EXPECT_FALSE(m.RemoveTable(QStringLiteral("Order Details")));
    EXPECT_EQ(m.rowCount(m.RootIndex()), 2);
    EXPECT_FALSE(m.RenameTable(QStringLiteral("<Blank table>"), QStringLiteral("x")));
}

} // namespace
