#include "FilterExpr.h"

#include "Error.h"

#include <vector>

struct FilterExpr::Node {
    enum class Kind { And, Or, Not, Compare, Like, IsNull, IsNotNull };
    struct Operand {
        bool isField = false;
        QString field;
        QVariant literal;
    };
    Kind kind = Kind::Compare;
    QString op;
    std::unique_ptr<Node> left, right;
    Operand a, b;
};

namespace {

struct Token {
    enum class Type { Identifier, Number, Text, Operator, LParen, RParen, End } type = Type::End;
    QString text;
    QVariant value;
    qsizetype pos = 0;
};

[[noreturn]] void syntaxError(const QString& source, const QString& what, qsizetype pos) {
    throw AppError(QStringLiteral("Ошибка в условии отбора «%1»: %2 (позиция %3)").arg(source, what).arg(pos + 1));
}

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i;
        if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            t.type = c == QLatin1Char('(') ? Token::Type::LParen : Token::Type::RParen;
            t.text = c;
            ++i;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            QString text;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                text += s[i++];
            }
            if (!closed)
                syntaxError(s, QStringLiteral("не закрыты кавычки"), t.pos);
            t.type = Token::Type::Text;
            t.value = text;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit()) ||
                   ((c == QLatin1Char('-') || c == QLatin1Char('+')) && i + 1 < n &&
                    (s[i + 1].isDigit() || s[i + 1] == QLatin1Char('.')))) {
            qsizetype j = i + 1;
            while (j < n && (s[j].isDigit() || s[j] == QLatin1Char('.')))
                ++j;
            if (j < n && (s[j] == QLatin1Char('e') || s[j] == QLatin1Char('E'))) {
                qsizetype k = j + 1;
                if (k < n && (s[k] == QLatin1Char('+') || s[k] == QLatin1Char('-')))
                    ++k;
                if (k < n && s[k].isDigit()) {
                    while (k < n && s[k].isDigit())
                        ++k;
                    j = k;
                }
            }
            t.text = s.mid(i, j - i);
            bool ok = false;
            const qlonglong whole = t.text.toLongLong(&ok);
            if (ok) {
                t.value = whole;
            } else {
                const double number = t.text.toDouble(&ok);
                if (!ok || !qIsFinite(number))
                    syntaxError(s, QStringLiteral("«%1» не является числом").arg(t.text), i);
                t.value = number;
            }
            t.type = Token::Type::Number;
            i = j;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype j = i + 1;
            while (j < n && (s[j].isLetterOrNumber() || s[j] == QLatin1Char('_')))
                ++j;
            t.type = Token::Type::Identifier;
            t.text = s.mid(i, j - i);
            i = j;
        } else {
            static const char* const ops[] = {"<>", "!=", "<=", ">=", "=", "<", ">"};
            for (const char* op : ops) {
                const QLatin1String o(op);
                if (QStringView(s).mid(i).startsWith(o)) {
                    t.type = Token::Type::Operator;
                    t.text = o;
                    break;
                }
            }
            if (t.type != Token::Type::Operator)
                syntaxError(s, QStringLiteral("недопустимый символ «%1»").arg(c), i);
            i += t.text.size();
        }
        tokens.push_back(t);
    }
    Token end;
    end.pos = n;
    tokens.push_back(end);
    return tokens;
}

bool isKeyword(const Token& t, const char* word) {
    return t.type == Token::Type::Identifier && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

class Parser {
public:
    Parser(const QString& source, QStringList& fields) : m_source(source), m_tokens(tokenize(source)), m_fields(fields) {}

    std::unique_ptr<FilterExpr::Node> parseAll() {
        if (peek().type == Token::Type::End)
            return nullptr;
        auto node = parseOr();
        if (peek().type != Token::Type::End)
            syntaxError(m_source, QStringLiteral("лишний текст «%1»").arg(peek().text.isEmpty() ? peek().value.toString() : peek().text), peek().pos);
        return node;
    }

private:
    using Node = FilterExpr::Node;

    const Token& peek() const { return m_tokens[m_pos]; }
    const Token& take() { return m_tokens[m_pos++]; }

    std::unique_ptr<Node> binary(Node::Kind kind, std::unique_ptr<Node> l, std::unique_ptr<Node> r) {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->left = std::move(l);
        node->right = std::move(r);
        return node;
    }

    std::unique_ptr<Node> parseOr() {
        auto node = parseAnd();
        while (isKeyword(peek(), "or")) {
            take();
            node = binary(Node::Kind::Or, std::move(node), parseAnd());
        }
        return node;
    }

    std::unique_ptr<Node> parseAnd() {
        auto node = parseUnary();
        while (isKeyword(peek(), "and")) {
            take();
            node = binary(Node::Kind::And, std::move(node), parseUnary());
        }
        return node;
    }

    std::unique_ptr<Node> parseUnary() {
        if (++m_depth > 200)
            syntaxError(m_source, QStringLiteral("слишком глубокая вложенность"), peek().pos);
        std::unique_ptr<Node> node;
        if (isKeyword(peek(), "not")) {
            take();
            node = binary(Node::Kind::Not, parseUnary(), nullptr);
        } else if (peek().type == Token::Type::LParen) {
            take();
            node = parseOr();
            if (peek().type != Token::Type::RParen)
                syntaxError(m_source, QStringLiteral("ожидается «)»"), peek().pos);
            take();
        } else {
            node = parseComparison();
        }
        --m_depth;
        return node;
    }

    Node::Operand operand() {
        const Token& t = peek();
        Node::Operand o;
        if (t.type == Token::Type::Identifier && !isKeyword(t, "and") && !isKeyword(t, "or") && !isKeyword(t, "not") &&
            !isKeyword(t, "like") && !isKeyword(t, "is")) {
            take();
            if (isKeyword(t, "null"))
                return o;
            if (isKeyword(t, "true") || isKeyword(t, "false")) {
                o.literal = isKeyword(t, "true") ? 1 : 0;
                return o;
            }
            o.isField = true;
            o.field = t.text;
            m_fields << t.text;
            return o;
        }
        if (t.type == Token::Type::Number || t.type == Token::Type::Text) {
            take();
            o.literal = t.value;
            return o;
        }
        syntaxError(m_source, t.type == Token::Type::End ? QStringLiteral("условие не закончено")
                                                         : QStringLiteral("ожидается имя поля или значение"),
                    t.pos);
    }

    std::unique_ptr<Node> parseComparison() {
        auto node = std::make_unique<Node>();
        node->a = operand();
        const Token& t = peek();
        if (isKeyword(t, "like")) {
            take();
            if (peek().type != Token::Type::Text)
                syntaxError(m_source, QStringLiteral("после like ожидается текст в кавычках"), peek().pos);
            node->kind = Node::Kind::Like;
            node->b.literal = take().value;
        } else if (isKeyword(t, "is")) {
            take();
            bool negated = false;
            if (isKeyword(peek(), "not")) {
                take();
                negated = true;
            }
            if (!isKeyword(peek(), "null"))
                syntaxError(m_source, QStringLiteral("после is ожидается null"), peek().pos);
            take();
            node->kind = negated ? Node::Kind::IsNotNull : Node::Kind::IsNull;
        } else if (t.type == Token::Type::Operator) {
            node->kind = Node::Kind::Compare;
            node->op = take().text == QLatin1String("!=") ? QStringLiteral("<>") : m_tokens[m_pos - 1].text;
            node->b = operand();
        } else {
            syntaxError(m_source, QStringLiteral("ожидается знак сравнения"), t.pos);
        }
        return node;
    }

    const QString& m_source;
    std::vector<Token> m_tokens;
    QStringList& m_fields;
    size_t m_pos = 0;
    int m_depth = 0;
};

} // namespace

FilterExpr::FilterExpr() = default;
FilterExpr::~FilterExpr() = default;
FilterExpr::FilterExpr(FilterExpr&&) noexcept = default;
FilterExpr& FilterExpr::operator=(FilterExpr&&) noexcept = default;

FilterExpr FilterExpr::parse(const QString& text) {
    FilterExpr expr;
    expr.m_text = text;
    Parser parser(text, expr.m_fields);
    expr.m_root = parser.parseAll();
    return expr;
}

namespace {

QString operandSql(const TableDef& def, const FilterExpr::Node::Operand& o, QVariantList& params, const QString& source) {
    if (o.isField) {
        const int index = def.fieldIndex(o.field);
        if (index < 0)
            throw AppError(QStringLiteral("Ошибка в условии отбора «%1»: поле «%2» не найдено в таблице %3")
                               .arg(source, o.field, def.name));
        return quoteIdentifier(def.fields[index].name);
    }
    if (o.literal.isNull())
        return QStringLiteral("NULL");
    params << o.literal;
    return QStringLiteral("?");
}

QString nodeSql(const TableDef& def, const FilterExpr::Node& node, QVariantList& params, const QString& source) {
    using Kind = FilterExpr::Node::Kind;
    switch (node.kind) {
    case Kind::And:
    case Kind::Or: {
        // One after the other: the bound values must follow the order of their marks.
        const QString left = nodeSql(def, *node.left, params, source);
        const QString right = nodeSql(def, *node.right, params, source);
        return QLatin1Char('(') + left + (node.kind == Kind::And ? QLatin1String(" AND ") : QLatin1String(" OR ")) +
               right + QLatin1Char(')');
    }
    case Kind::Not:
        return QLatin1String("(NOT ") + nodeSql(def, *node.left, params, source) + QLatin1Char(')');
    case Kind::Like: {
        const QString field = operandSql(def, node.a, params, source);
        params << node.b.literal;
        return QStringLiteral("tv_like(%1, ?)").arg(field);
    }
    case Kind::IsNull:
        return QLatin1Char('(') + operandSql(def, node.a, params, source) + QLatin1String(" IS NULL)");
    case Kind::IsNotNull:
        return QLatin1Char('(') + operandSql(def, node.a, params, source) + QLatin1String(" IS NOT NULL)");
    case Kind::Compare: {
        const QString a = operandSql(def, node.a, params, source);
        const QString b = operandSql(def, node.b, params, source);
        return QLatin1Char('(') + a + QLatin1Char(' ') + node.op + QLatin1Char(' ') + b + QLatin1Char(')');
    }
    }
    return {};
}

} // namespace

FilterExpr::Sql FilterExpr::toSql(const TableDef& def) const {
    Sql sql;
    if (m_root)
        sql.where = nodeSql(def, *m_root, sql.params, m_text);
    return sql;
}
