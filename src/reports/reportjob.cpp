#include "reports/reportjob.h"

#include "reports/layout.h"
#include "reports/report.h"
#include "reports/reporterror.h"

#include <QFileInfo>
#include <cstring>
#include <string>
#include <limits>

namespace qv::rpt {

namespace {
// Rows kept in one buffer: a type tag and the value of each field.
class PackedRows : public RowSource {
public:
    void add(const Row& row)
    {
        put(quint32(row.size()));
        for (const QVariant& v : row) {
            const QMetaType t = v.metaType();
            if (v.isNull() || !v.isValid()) {
                m_data += char(0);
            } else if (t == QMetaType::fromType<Money>()) {
                m_data += char(1);
                put(v.value<Money>().cents);
            } else if (t == QMetaType::fromType<QDate>()) {
                m_data += char(2);
                put(v.toDate().toJulianDay());
            } else if (t == QMetaType::fromType<qint64>()) {
                m_data += char(3);
                put(v.toLongLong());
            } else if (t == QMetaType::fromType<double>()) {
                m_data += char(4);
                put(v.toDouble());
            } else {
                const QByteArray text = v.toString().toUtf8();
                m_data += char(5);
                put(quint32(text.size()));
                m_data.append(text.constData(), size_t(text.size()));
            }
        }
    }
    bool next(Row& row) override
    {
        if (m_pos >= m_data.size())
            return false;
        row.resize(int(get<quint32>()));
        for (QVariant& v : row) {
            switch (m_data[m_pos++]) {
            case 0:
                v = QVariant();
                break;
            case 1:
                v = QVariant::fromValue(Money(get<qint64>()));
                break;
            case 2:
                v = QDate::fromJulianDay(get<qint64>());
                break;
            case 3:
                v = get<qint64>();
                break;
            case 4:
                v = get<double>();
                break;
            default: {
                const auto n = qsizetype(get<quint32>());
                v = QString::fromUtf8(m_data.data() + m_pos, n);
                m_pos += n;
            }
            }
        }
        return true;
    }

private:
    template <class T> void put(T v) { m_data.append(reinterpret_cast<const char*>(&v), sizeof v); }
    // A std::string rather than a QByteArray: no shared empty array for the compiler to doubt.
    template <class T> T get()
    {
        T v;
        std::memcpy(&v, m_data.data() + m_pos, sizeof v);
        m_pos += sizeof v;
        return v;
    }
    std::string m_data;
    size_t m_pos = 0;
};

QList<ReportJob*>& jobs()
{
    static QList<ReportJob*> all;
    return all;
}
} // namespace

ReportJob::ReportJob(Report& report)
    : m_report(report)
{
    jobs().push_back(this);
}

ReportJob::~ReportJob()
{
    jobs().removeOne(this);
}

void ReportJob::stopAll()
{
    for (ReportJob* j : jobs())
        if (!j->finished())
            j->stop();
}

bool ReportJob::finished() const
{
    return m_layout && m_layout->done();
}

std::shared_ptr<const Document> ReportJob::document() const
{
    return m_layout->document();
}

void ReportJob::stop()
{
    if (finished())
        return;
    m_stopped = true;
    m_rows.reset(); // the statement ends here: the connection is free for others
    m_readOnly.reset();
    m_kept.reset();
    m_own.reset();
}

void ReportJob::releaseConnection()
{
    if (!m_rows || finished() || m_stopped || m_conn->backend() != Backend::Postgres)
        return;
    auto kept = std::make_unique<PackedRows>();
    try {
        Row r;
        while (m_rows->next(r))
            kept->add(r);
    } catch (const DbError& e) {
        stop();
        throw dataFailure(QFileInfo(m_report.templ().path).fileName(), e);
    }
    m_rows.reset();
    m_readOnly.reset();
    m_kept = std::move(kept);
    m_layout->setRows(*m_kept);
}

bool ReportJob::step(int maxRows)
{
    if (finished())
        return true;
    if (m_stopped)
        return false;
    try {
        if (!m_layout->step(maxRows))
            return false;
    } catch (const ReportError&) {
        stop();
        throw;
    } catch (const DbError& e) {
        stop();
        throw dataFailure(QFileInfo(m_report.templ().path).fileName(), e);
    }
    m_report.m_document = m_layout->document();
    m_report.m_lastLogin = m_conn->userName();
    m_rows.reset();
    m_readOnly.reset();
    m_kept.reset();
    m_own.reset();
    return true;
}

void ReportJob::finish()
{
    while (!m_stopped && !step(std::numeric_limits<int>::max())) {
    }
}

} // namespace qv::rpt
