#include "plcengine/st_reader.h"

#include <tao/pegtl.hpp>
#include <tao/pegtl/contrib/parse_tree.hpp>

#include <cctype>

namespace plc {

namespace {

namespace pg = tao::pegtl;

// A fault found while building the program from the parse tree.
struct build_fault {
  int line;
  std::string message;
};

// Nesting of statements and operands, bounded before recursion can exhaust
// the stack.
thread_local int nesting = 0;
constexpr int max_nesting = 200;

namespace grammar {
using namespace tao::pegtl;

// A comment from Open to Close; one left open is reported where it opens,
// not at the end of the text where the search gave up.
template <char O1, char O2, char C1, char C2>
struct comment {
  using rule_t = comment;
  using subs_t = empty_list;
  template <apply_mode, rewind_mode, template <typename...> class Action,
            template <typename...> class Control, typename ParseInput, typename... States>
  static bool match(ParseInput& in, States&&...) {
    if (in.size(2) < 2 || in.peek_char(0) != O1 || in.peek_char(1) != O2) return false;
    const auto open = in.position();
    in.bump(2);
    while (in.size(2) >= 2) {
      if (in.peek_char(0) == C1 && in.peek_char(1) == C2) {
        in.bump(2);
        return true;
      }
      in.bump(1);
    }
    throw parse_error(std::string("comment not closed by \"") + C1 + C2 + "\"", open);
  }
};
struct block_comment : comment<'(', '*', '*', ')'> {};
struct slash_comment : comment<'/', '*', '*', '/'> {};
struct line_comment : seq<two<'/'>, until<eolf>> {};
struct sp : sor<space, block_comment, slash_comment, line_comment> {};
struct ws : star<sp> {};

template <typename Word>
struct key : seq<Word, not_at<identifier_other>> {};
#define ST_KEY(name, text) \
  struct k_##name : key<TAO_PEGTL_ISTRING(text)> {}
ST_KEY(program, "PROGRAM");
ST_KEY(end_program, "END_PROGRAM");
ST_KEY(var, "VAR");
ST_KEY(var_input, "VAR_INPUT");
ST_KEY(var_output, "VAR_OUTPUT");
ST_KEY(var_in_out, "VAR_IN_OUT");
ST_KEY(var_external, "VAR_EXTERNAL");
ST_KEY(var_global, "VAR_GLOBAL");
ST_KEY(var_temp, "VAR_TEMP");
ST_KEY(end_var, "END_VAR");
ST_KEY(constant, "CONSTANT");
ST_KEY(retain, "RETAIN");
ST_KEY(non_retain, "NON_RETAIN");
ST_KEY(at, "AT");
ST_KEY(if, "IF");
ST_KEY(then, "THEN");
ST_KEY(elsif, "ELSIF");
ST_KEY(else, "ELSE");
ST_KEY(end_if, "END_IF");
ST_KEY(case, "CASE");
ST_KEY(of, "OF");
ST_KEY(end_case, "END_CASE");
ST_KEY(for, "FOR");
ST_KEY(to, "TO");
ST_KEY(by, "BY");
ST_KEY(do, "DO");
ST_KEY(end_for, "END_FOR");
ST_KEY(while, "WHILE");
ST_KEY(end_while, "END_WHILE");
ST_KEY(repeat, "REPEAT");
ST_KEY(until, "UNTIL");
ST_KEY(end_repeat, "END_REPEAT");
ST_KEY(exit, "EXIT");
ST_KEY(return, "RETURN");
ST_KEY(not, "NOT");
ST_KEY(and, "AND");
ST_KEY(or, "OR");
ST_KEY(xor, "XOR");
ST_KEY(mod, "MOD");
ST_KEY(function_block, "FUNCTION_BLOCK");
ST_KEY(end_function_block, "END_FUNCTION_BLOCK");
ST_KEY(function, "FUNCTION");
ST_KEY(end_function, "END_FUNCTION");
ST_KEY(configuration, "CONFIGURATION");
ST_KEY(end_configuration, "END_CONFIGURATION");
ST_KEY(type, "TYPE");
ST_KEY(end_type, "END_TYPE");
ST_KEY(array, "ARRAY");
ST_KEY(string, "STRING");
ST_KEY(wstring, "WSTRING");
ST_KEY(pointer, "POINTER");
ST_KEY(ref_to, "REF_TO");
struct keyword
    : sor<k_program, k_end_program, k_var_input, k_var_output, k_var_in_out, k_var_external,
          k_var_global, k_var_temp, k_var, k_end_var, k_at, k_if, k_then, k_elsif, k_else, k_end_if,
          k_case, k_of, k_end_case, k_for, k_to, k_by, k_do, k_end_for, k_while, k_end_while,
          k_repeat, k_until, k_end_repeat, k_exit, k_return, k_not, k_and, k_or, k_xor, k_mod,
          k_function_block, k_end_function_block, k_function, k_end_function, k_configuration,
          k_end_configuration, k_type, k_end_type> {};
struct ident : seq<not_at<keyword>, identifier> {};

// Literals: the text is checked by parse_literal when the tree is built.
struct digits : seq<digit, star<opt<one<'_'>>, digit>> {};
struct prefixed_lit : seq<sor<identifier, digits>, one<'#'>, opt<one<'-', '+'>>,
                          plus<sor<alnum, one<'_'>, seq<one<'.'>, digit>, one<'#'>>>> {};
struct number_lit
    : seq<digits, opt<one<'.'>, digits>, opt<one<'e', 'E'>, opt<one<'+', '-'>>, digits>> {};
struct literal : sor<prefixed_lit, number_lit> {};
struct string_lit : sor<seq<one<'\''>, until<one<'\''>>>, seq<one<'"'>, until<one<'"'>>>> {};

struct expression;
struct paren_close : one<')'> {};
struct paren : seq<one<'('>, ws, must<expression>, ws, must<paren_close>> {};
struct formal_name : identifier {};
struct arg : seq<opt<formal_name, ws, string<':', '='>, ws>, must<expression>> {};
struct call : seq<ident, ws, one<'('>, ws, opt<arg, ws, star<one<','>, ws, must<arg>, ws>>,
                  must<paren_close>> {};
struct member : seq<ident, ws, one<'.'>, ws, identifier> {};
struct index_access : seq<ident, ws, one<'['>, until<one<']'>>> {};
struct bool_lit : sor<key<TAO_PEGTL_ISTRING("TRUE")>, key<TAO_PEGTL_ISTRING("FALSE")>> {};
struct name_ref : ident {};
struct primary : sor<paren, bool_lit, literal, string_lit, call, index_access, member, name_ref> {};
struct unary;
struct operand : seq<unary> {};
struct not_op : seq<k_not, ws, must<operand>> {};
struct neg_op : seq<one<'-'>, ws, must<operand>> {};
struct unary : sor<not_op, neg_op, primary> {};
struct pow_sign : string<'*', '*'> {};
struct pow_expr : seq<unary, star<ws, pow_sign, ws, must<operand>>> {};
struct mul_sign : sor<seq<one<'*'>, not_at<one<'*'>>>, one<'/'>, k_mod> {};
struct mul_expr : seq<pow_expr, star<ws, mul_sign, ws, must<pow_expr>>> {};
struct add_sign : one<'+', '-'> {};
struct add_expr : seq<mul_expr, star<ws, add_sign, ws, must<mul_expr>>> {};
struct rel_sign
    : sor<string<'<', '='>, string<'>', '='>, seq<one<'<'>, not_at<one<'>'>>>, one<'>'>> {};
struct rel_expr : seq<add_expr, star<ws, rel_sign, ws, must<add_expr>>> {};
struct eq_sign : sor<string<'<', '>'>, one<'='>> {};
struct eq_expr : seq<rel_expr, star<ws, eq_sign, ws, must<rel_expr>>> {};
struct and_sign : sor<k_and, one<'&'>> {};
struct and_expr : seq<eq_expr, star<ws, and_sign, ws, must<eq_expr>>> {};
struct xor_sign : k_xor {};
struct xor_expr : seq<and_expr, star<ws, xor_sign, ws, must<and_expr>>> {};
struct or_sign : k_or {};
struct expression : seq<xor_expr, star<ws, or_sign, ws, must<xor_expr>>> {};

// Statements.
struct semicolon : one<';'> {};
struct statement;
struct statements : star<statement, ws> {};
struct assign_target : sor<member, name_ref> {};
struct assign_stmt
    : seq<assign_target, ws, string<':', '='>, ws, must<expression>, ws, must<semicolon>> {};
struct out_sign : string<'=', '>'> {};
struct in_sign : string<':', '='> {};
struct param : seq<formal_name, ws, sor<in_sign, out_sign>, ws, must<expression>> {};
struct positional_param : seq<expression> {};
struct fb_name : ident {};
struct fb_call_stmt : seq<fb_name, ws, one<'('>, ws,
                          opt<sor<param, positional_param>, ws,
                              star<one<','>, ws, must<sor<param, positional_param>>, ws>>,
                          must<paren_close>, ws, must<semicolon>> {};
struct cond : seq<expression> {};
struct k_then_m : k_then {};
struct k_end_if_m : k_end_if {};
struct elsif_part : seq<k_elsif, ws, must<cond>, ws, must<k_then_m>, ws, statements> {};
struct else_part : seq<k_else, ws, statements> {};
struct if_stmt : seq<k_if, ws, must<cond>, ws, must<k_then_m>, ws, statements, star<elsif_part>,
                     opt<else_part>, must<k_end_if_m>, ws, opt<semicolon>> {};
struct signed_lit : seq<opt<one<'-'>>, ws, sor<literal, bool_lit>> {};
struct case_range : seq<signed_lit, ws, opt<two<'.'>, ws, must<signed_lit>>> {};
struct case_labels : seq<case_range, ws, star<one<','>, ws, must<case_range>, ws>> {};
struct case_elem : seq<case_labels, ws, one<':'>, not_at<one<'='>>, ws, statements> {};
struct k_of_m : k_of {};
struct k_end_case_m : k_end_case {};
struct case_stmt : seq<k_case, ws, must<expression>, ws, must<k_of_m>, ws, star<case_elem>,
                       opt<else_part>, must<k_end_case_m>, ws, opt<semicolon>> {};
struct for_var : ident {};
struct k_to_m : k_to {};
struct k_do_m : k_do {};
struct k_end_for_m : k_end_for {};
struct by_part : seq<k_by, ws, must<expression>> {};
struct for_stmt : seq<k_for, ws, must<for_var>, ws, must<string<':', '='>>, ws, must<expression>,
                      ws, must<k_to_m>, ws, must<expression>, ws, opt<by_part, ws>, must<k_do_m>,
                      ws, statements, must<k_end_for_m>, ws, opt<semicolon>> {};
struct k_end_while_m : k_end_while {};
struct while_stmt : seq<k_while, ws, must<cond>, ws, must<k_do_m>, ws, statements,
                        must<k_end_while_m>, ws, opt<semicolon>> {};
struct k_until_m : k_until {};
struct k_end_repeat_m : k_end_repeat {};
struct repeat_stmt : seq<k_repeat, ws, statements, must<k_until_m>, ws, must<cond>, ws,
                         must<k_end_repeat_m>, ws, opt<semicolon>> {};
struct exit_stmt : seq<k_exit, ws, must<semicolon>> {};
struct return_stmt : seq<k_return, ws, must<semicolon>> {};
struct empty_stmt : semicolon {};
struct statement : sor<empty_stmt, if_stmt, case_stmt, for_stmt, while_stmt, repeat_stmt, exit_stmt,
                       return_stmt, assign_stmt, fb_call_stmt> {};

// Declarations.
struct location : seq<one<'%'>, one<'I', 'Q', 'M', 'i', 'q', 'm'>,
                      opt<one<'X', 'B', 'W', 'D', 'L', 'x', 'b', 'w', 'd', 'l'>>, opt<one<'*'>>,
                      star<sor<digit, one<'.'>>>> {};
struct var_name : ident {};
struct unsupported_word : sor<k_array, k_string, k_wstring, k_pointer, k_ref_to> {};
struct unsupported_type : seq<unsupported_word, until<at<one<';'>>>> {};
struct type_name : ident {};
struct type_spec : sor<unsupported_type, type_name> {};
struct initial : seq<expression> {};
struct colon : one<':'> {};
struct var_decl : seq<var_name, ws, star<one<','>, ws, must<var_name>, ws>,
                      opt<k_at, ws, must<location>, ws>, must<colon>, ws, must<type_spec>, ws,
                      opt<string<':', '='>, ws, must<initial>, ws>, must<semicolon>> {};
struct var_kind : sor<k_var_input, k_var_output, k_var_in_out, k_var_external, k_var_global,
                      k_var_temp, k_var> {};
struct var_qualifier : sor<k_constant, k_retain, k_non_retain> {};
struct k_end_var_m : k_end_var {};
struct var_block
    : seq<var_kind, ws, star<var_qualifier, ws>, star<var_decl, ws>, must<k_end_var_m>> {};
struct program_name : ident {};
struct k_end_program_m : k_end_program {};
struct program_decl : seq<k_program, ws, must<program_name>, ws, star<var_block, ws>, statements,
                          must<k_end_program_m>> {};
template <typename Open, typename Close>
struct skipped : seq<Open, until<Close>> {};
struct unsupported_unit
    : sor<skipped<k_function_block, k_end_function_block>, skipped<k_function, k_end_function>,
          skipped<k_configuration, k_end_configuration>, skipped<k_type, k_end_type>> {};
struct end_of_text : eof {};
struct unit : sor<program_decl, unsupported_unit> {};
struct file : seq<ws, star<unit, ws>, must<end_of_text>> {};
struct body : seq<ws, statements, must<end_of_text>> {};
struct lone_expression : seq<ws, must<expression>, ws, must<end_of_text>> {};

template <typename Rule>
inline constexpr const char* message = "syntax error";
template <>
inline constexpr const char* message<end_of_text> =
    "expected a statement, PROGRAM or the end of the text";
template <>
inline constexpr const char* message<program_name> = "expected the program's name";
template <>
inline constexpr const char* message<k_end_program_m> = "expected a statement or END_PROGRAM";
template <>
inline constexpr const char* message<expression> = "expected an expression";
template <>
inline constexpr const char* message<operand> = "expected an operand";
template <>
inline constexpr const char* message<add_expr> = "expected an operand";
template <>
inline constexpr const char* message<mul_expr> = "expected an operand";
template <>
inline constexpr const char* message<pow_expr> = "expected an operand";
template <>
inline constexpr const char* message<rel_expr> = "expected an operand";
template <>
inline constexpr const char* message<eq_expr> = "expected an operand";
template <>
inline constexpr const char* message<and_expr> = "expected an operand";
template <>
inline constexpr const char* message<xor_expr> = "expected an operand";
template <>
inline constexpr const char* message<cond> = "expected a condition";
template <>
inline constexpr const char* message<paren_close> = "expected \")\"";
template <>
inline constexpr const char* message<semicolon> = "expected \";\"";
template <>
inline constexpr const char* message<colon> = "expected \":\" and a type";
template <>
inline constexpr const char* message<type_spec> = "expected a type";
template <>
inline constexpr const char* message<k_then_m> = "expected THEN";
template <>
inline constexpr const char* message<k_end_if_m> = "expected a statement, ELSIF, ELSE or END_IF";
template <>
inline constexpr const char* message<k_of_m> = "expected OF";
template <>
inline constexpr const char* message<k_end_case_m> =
    "expected a case label such as \"1:\" or \"2..5:\", ELSE or END_CASE";
template <>
inline constexpr const char* message<k_to_m> = "expected TO";
template <>
inline constexpr const char* message<k_do_m> = "expected DO";
template <>
inline constexpr const char* message<k_end_for_m> = "expected a statement or END_FOR";
template <>
inline constexpr const char* message<k_end_while_m> = "expected a statement or END_WHILE";
template <>
inline constexpr const char* message<k_until_m> = "expected a statement or UNTIL";
template <>
inline constexpr const char* message<k_end_repeat_m> = "expected END_REPEAT";
template <>
inline constexpr const char* message<for_var> = "expected the loop's variable";
template <>
inline constexpr const char* message<k_end_var_m> =
    "expected a declaration such as \"n : INT;\" or END_VAR";
template <>
inline constexpr const char* message<var_name> = "expected a variable's name";
template <>
inline constexpr const char* message<location> = "expected an address such as %IX0.0";
template <>
inline constexpr const char* message<initial> = "expected an initial value";
template <>
inline constexpr const char* message<signed_lit> = "expected a constant";
template <>
inline constexpr const char* message<case_range> = "expected a constant";
template <>
inline constexpr const char* message<arg> = "expected an argument";

template <typename Rule>
struct control : normal<Rule> {
  template <typename Input, typename... States>
  [[noreturn]] static void raise(const Input& in, States&&...) {
    throw parse_error(message<Rule>, in);
  }
};
template <typename Rule>
struct nested_control : normal<Rule> {
  template <typename Input, typename... States>
  static void start(const Input& in, States&&...) {
    if (++nesting > max_nesting) throw parse_error("nested too deeply", in);
  }
  template <typename Input, typename... States>
  static void success(const Input&, States&&...) {
    --nesting;
  }
  template <typename Input, typename... States>
  static void failure(const Input&, States&&...) {
    --nesting;
  }
};
template <>
struct control<unary> : nested_control<unary> {};
template <>
struct control<statement> : nested_control<statement> {};

// The nodes kept in the tree; the others only guide the parse.
template <typename Rule>
using selector = pg::parse_tree::selector<
    Rule,
    pg::parse_tree::store_content::on<
        prefixed_lit, number_lit, bool_lit, string_lit, name_ref, member, call, formal_name, arg,
        index_access, not_op, neg_op, pow_sign, mul_sign, add_sign, rel_sign, eq_sign, and_sign,
        xor_sign, or_sign, statements, assign_stmt, assign_target, fb_call_stmt, fb_name, param,
        positional_param, in_sign, out_sign, if_stmt, elsif_part, else_part, cond, case_stmt,
        case_elem, case_range, signed_lit, for_stmt, for_var, by_part, while_stmt, repeat_stmt,
        exit_stmt, return_stmt, empty_stmt, location, var_name, unsupported_word, type_name,
        initial, var_decl, var_kind, var_block, program_name, program_decl, unsupported_unit,
        k_function_block, k_function, k_configuration, k_type>,
    // unary and statement are kept (then folded) so that their nesting is counted.
    pg::parse_tree::fold_one::on<unary, statement, pow_expr, mul_expr, add_expr, rel_expr, eq_expr,
                                 and_expr, xor_expr, expression>>;

}  // namespace grammar

using node = pg::parse_tree::node;

int line_of(const node& n, int first_line) {
  return static_cast<int>(n.begin().line) + first_line - 1;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Builds the program's nodes from the parse tree.
class builder {
 public:
  explicit builder(int first_line) : first_(first_line) {}

  expr expression(const node& n) {
    expr e;
    e.line = line_of(n, first_);
    namespace g = grammar;
    if (n.is_type<g::prefixed_lit>() || n.is_type<g::number_lit>() || n.is_type<g::bool_lit>() ||
        n.is_type<g::signed_lit>()) {
      std::string text;
      for (char c : n.string())
        if (!std::isspace(static_cast<unsigned char>(c))) text += c;
      if (!parse_literal(text, &e.lit)) throw build_fault{e.line, "bad constant " + n.string()};
      return e;
    }
    if (n.is_type<g::string_lit>()) throw build_fault{e.line, "STRING is not supported"};
    if (n.is_type<g::index_access>()) throw build_fault{e.line, "an array is not supported"};
    if (n.is_type<g::name_ref>()) {
      e.k = expr::kind::name;
      e.name = n.string();
      return e;
    }
    if (n.is_type<g::member>()) {
      e.k = expr::kind::member;
      const std::string t = n.string();
      const size_t dot = t.find('.');
      e.name = trim(t.substr(0, dot));
      e.member = trim(t.substr(dot + 1));
      return e;
    }
    if (n.is_type<g::call>()) {
      e.k = expr::kind::call;
      const std::string t = n.string();
      e.name = trim(t.substr(0, t.find('(')));
      for (const auto& a : n.children) {
        std::string formal;
        const node* value = a->children.back().get();
        if (a->children.size() == 2) formal = a->children[0]->string();
        e.formals.push_back(formal);
        e.args.push_back(expression(*value));
      }
      return e;
    }
    if (n.is_type<g::not_op>() || n.is_type<g::neg_op>()) {
      e.k = expr::kind::unary;
      e.op = n.is_type<g::not_op>() ? "NOT" : "-";
      e.args.push_back(expression(*n.children.at(0)));
      // A negative constant stays a constant: -32768 fits an INT.
      if (e.op == "-" && e.args[0].k == expr::kind::literal) {
        expr c = e.args[0];
        c.lit =
            is_real(c.lit.t) ? value::of_real(c.lit.t, -c.lit.r) : value::of_int(c.lit.t, -c.lit.i);
        return c;
      }
      return e;
    }
    // An operator chain: operand, sign, operand, sign, operand...
    if (n.children.empty()) throw build_fault{e.line, "expected an expression"};
    expr left = expression(*n.children[0]);
    for (size_t i = 1; i + 1 < n.children.size(); i += 2) {
      expr b;
      b.k = expr::kind::binary;
      b.line = line_of(*n.children[i], first_);
      b.op = upper(n.children[i]->string());
      if (b.op == "&") b.op = "AND";
      b.args.push_back(std::move(left));
      b.args.push_back(expression(*n.children[i + 1]));
      left = std::move(b);
    }
    return left;
  }

  stmt_list statements(const node& n) {
    stmt_list out;
    for (const auto& c : n.children) out.push_back(statement(*c));
    return out;
  }

  stmt statement(const node& n) {
    namespace g = grammar;
    stmt s;
    s.line = line_of(n, first_);
    if (n.is_type<g::empty_stmt>()) return s;
    if (n.is_type<g::exit_stmt>()) return s.k = stmt::kind::exit_, s;
    if (n.is_type<g::return_stmt>()) return s.k = stmt::kind::return_, s;
    if (n.is_type<g::assign_stmt>()) {
      s.k = stmt::kind::assign;
      s.target = expression(*n.children[0]->children.at(0));
      s.value = expression(*n.children.at(1));
      return s;
    }
    if (n.is_type<g::fb_call_stmt>()) {
      s.k = stmt::kind::fb_call;
      s.instance = n.children.at(0)->string();
      for (size_t i = 1; i < n.children.size(); ++i) {
        const node& p = *n.children[i];
        if (p.is_type<g::positional_param>())
          throw build_fault{line_of(p, first_),
                            "a call of " + s.instance + " needs formal parameters (IN := ...)"};
        call_param cp;
        cp.formal = p.children.at(0)->string();
        cp.output = p.children.at(1)->is_type<g::out_sign>();
        cp.value = expression(*p.children.at(2));
        if (cp.output && cp.value.k != expr::kind::name)
          throw build_fault{line_of(p, first_), "an output parameter needs a variable after =>"};
        s.params.push_back(std::move(cp));
      }
      return s;
    }
    if (n.is_type<g::if_stmt>()) {
      s.k = stmt::kind::if_;
      s.conds.push_back(expression(*n.children.at(0)->children.at(0)));
      s.bodies.push_back(statements(*n.children.at(1)));
      for (size_t i = 2; i < n.children.size(); ++i) {
        const node& part = *n.children[i];
        if (part.is_type<g::elsif_part>()) {
          s.conds.push_back(expression(*part.children.at(0)->children.at(0)));
          s.bodies.push_back(statements(*part.children.at(1)));
        } else {
          s.bodies.push_back(statements(*part.children.at(0)));
        }
      }
      return s;
    }
    if (n.is_type<g::case_stmt>()) {
      s.k = stmt::kind::case_;
      s.value = expression(*n.children.at(0));
      for (size_t i = 1; i < n.children.size(); ++i) {
        const node& part = *n.children[i];
        if (part.is_type<g::else_part>()) {
          s.bodies.push_back(statements(*part.children.at(0)));
          continue;
        }
        std::vector<case_label> labels;
        for (size_t j = 0; j + 1 < part.children.size(); ++j) {
          const node& r = *part.children[j];
          case_label l;
          l.low = expression(*r.children.at(0)).lit;
          l.high = r.children.size() > 1 ? expression(*r.children[1]).lit : l.low;
          labels.push_back(l);
        }
        s.labels.push_back(labels);
        s.bodies.push_back(statements(*part.children.back()));
      }
      return s;
    }
    if (n.is_type<g::for_stmt>()) {
      s.k = stmt::kind::for_;
      s.target.k = expr::kind::name;
      s.target.name = n.children.at(0)->string();
      s.target.line = s.line;
      s.value = expression(*n.children.at(1));
      s.end = expression(*n.children.at(2));
      size_t i = 3;
      if (n.children.at(i)->is_type<g::by_part>()) {
        s.has_by = true;
        s.by = expression(*n.children[i]->children.at(0));
        ++i;
      }
      s.bodies.push_back(statements(*n.children.at(i)));
      return s;
    }
    if (n.is_type<g::while_stmt>()) {
      s.k = stmt::kind::while_;
      s.conds.push_back(expression(*n.children.at(0)->children.at(0)));
      s.bodies.push_back(statements(*n.children.at(1)));
      return s;
    }
    if (n.is_type<g::repeat_stmt>()) {
      s.k = stmt::kind::repeat;
      s.bodies.push_back(statements(*n.children.at(0)));
      s.conds.push_back(expression(*n.children.at(1)->children.at(0)));
      return s;
    }
    throw build_fault{s.line, "syntax error"};
  }

  void var_block(const node& n, program* p) {
    namespace g = grammar;
    const std::string kind = upper(n.children.at(0)->string());
    var_class cls = kind == "VAR_INPUT"      ? var_class::input
                    : kind == "VAR_OUTPUT"   ? var_class::output
                    : kind == "VAR_IN_OUT"   ? var_class::in_out
                    : kind == "VAR_EXTERNAL" ? var_class::external
                    : kind == "VAR_GLOBAL"   ? var_class::global
                    : kind == "VAR_TEMP"     ? var_class::temp
                                             : var_class::local;
    for (size_t i = 1; i < n.children.size(); ++i) {
      const node& d = *n.children[i];
      std::vector<const node*> names;
      variable v;
      v.cls = cls;
      for (const auto& c : d.children) {
        if (c->is_type<g::var_name>()) names.push_back(c.get());
        if (c->is_type<g::location>()) v.address = c->string();
        if (c->is_type<g::unsupported_word>())
          throw build_fault{line_of(*c, first_), upper(c->string()) + " is not supported"};
        if (c->is_type<g::type_name>()) v.type_name = c->string();
        if (c->is_type<g::initial>()) {
          expr e = expression(*c->children.at(0));
          if (e.k != expr::kind::literal)
            throw build_fault{line_of(*c, first_), "an initial value must be a constant"};
          v.has_initial = true;
          v.initial = e.lit;
        }
      }
      for (const node* nm : names) {
        variable x = v;
        x.name = nm->string();
        x.line = line_of(*nm, first_);
        p->vars.push_back(x);
      }
    }
  }

  program program_decl(const node& n) {
    namespace g = grammar;
    program p;
    p.name = n.children.at(0)->string();
    p.line = line_of(*n.children[0], first_);
    for (size_t i = 1; i < n.children.size(); ++i) {
      if (n.children[i]->is_type<g::var_block>()) var_block(*n.children[i], &p);
      if (n.children[i]->is_type<g::statements>()) p.body = statements(*n.children[i]);
    }
    return p;
  }

 private:
  static std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
  }
  int first_;
};

template <typename Rule, typename Build>
bool parse_with(const std::string& text, const std::string& file, int first_line, error* err,
                Build build) {
  err->file = file;
  nesting = 0;
  pg::memory_input<> in(text, file);
  try {
    auto root = pg::parse_tree::parse<Rule, grammar::selector, pg::nothing, grammar::control>(in);
    if (!root) {
      err->line = first_line;
      err->message = "syntax error";
      return false;
    }
    builder b(first_line);
    build(b, *root);
    return true;
  } catch (const pg::parse_error& e) {
    err->line = static_cast<int>(e.positions().front().line) + first_line - 1;
    err->message = std::string(e.message());
  } catch (const build_fault& f) {
    err->line = f.line;
    err->message = f.message;
  }
  return false;
}

}  // namespace

bool read_st_file(const std::string& text, const std::string& file, std::vector<program>* out,
                  error* err) {
  return parse_with<grammar::file>(text, file, 1, err, [&](builder& b, const node& root) {
    for (const auto& u : root.children) {
      if (u->is_type<grammar::unsupported_unit>()) {
        const std::string word = upper(u->children.at(0)->string());
        throw build_fault{line_of(*u, 1), word + " is not supported"};
      }
      program p = b.program_decl(*u);
      p.file = file;
      out->push_back(std::move(p));
    }
  });
}

bool read_st_body(const std::string& text, const std::string& file, int first_line, stmt_list* out,
                  error* err) {
  return parse_with<grammar::body>(text, file, first_line, err, [&](builder& b, const node& root) {
    if (!root.children.empty()) *out = b.statements(*root.children[0]);
  });
}

bool read_st_expression(const std::string& text, const std::string& file, int first_line, expr* out,
                        error* err) {
  return parse_with<grammar::lone_expression>(
      text, file, first_line, err,
      [&](builder& b, const node& root) { *out = b.expression(*root.children.at(0)); });
}

}  // namespace plc
