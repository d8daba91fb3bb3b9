#include "plcengine/sfc_reader.h"

#include <tao/pegtl.hpp>

#include <algorithm>
#include <cctype>
#include <limits>

#include "plcengine/value.h"

namespace sfc {

namespace {

namespace pg = tao::pegtl;

// A fault found by an action (a bad qualifier...), at a place of the text.
struct action_fault {
  chart_error error;
};

namespace grammar {
using namespace tao::pegtl;

// Blanks and comments.
struct block_rest : until<string<'*', ')'>> {};
struct block_comment : if_must<string<'(', '*'>, block_rest> {};
struct line_comment : seq<two<'/'>, until<eolf>> {};
struct sp : sor<space, block_comment, line_comment> {};
struct ws : star<sp> {};

// Keywords are whole words, in any case.
template <typename Word>
struct key : seq<Word, not_at<identifier_other>> {};
struct k_program : key<TAO_PEGTL_ISTRING("PROGRAM")> {};
struct k_end_program : key<TAO_PEGTL_ISTRING("END_PROGRAM")> {};
struct k_initial_step : key<TAO_PEGTL_ISTRING("INITIAL_STEP")> {};
struct k_step : key<TAO_PEGTL_ISTRING("STEP")> {};
struct k_end_step : key<TAO_PEGTL_ISTRING("END_STEP")> {};
struct k_transition : key<TAO_PEGTL_ISTRING("TRANSITION")> {};
struct k_from : key<TAO_PEGTL_ISTRING("FROM")> {};
struct k_to : key<TAO_PEGTL_ISTRING("TO")> {};
struct k_end_transition : key<TAO_PEGTL_ISTRING("END_TRANSITION")> {};
struct k_action : key<TAO_PEGTL_ISTRING("ACTION")> {};
struct k_end_action : key<TAO_PEGTL_ISTRING("END_ACTION")> {};
struct k_var : key<TAO_PEGTL_ISTRING("VAR")> {};
struct k_end_var : key<TAO_PEGTL_ISTRING("END_VAR")> {};
struct k_and : key<TAO_PEGTL_ISTRING("AND")> {};
struct k_or : key<TAO_PEGTL_ISTRING("OR")> {};
struct k_xor : key<TAO_PEGTL_ISTRING("XOR")> {};
struct k_not : key<TAO_PEGTL_ISTRING("NOT")> {};
struct k_mod : key<TAO_PEGTL_ISTRING("MOD")> {};
struct k_true : key<TAO_PEGTL_ISTRING("TRUE")> {};
struct k_false : key<TAO_PEGTL_ISTRING("FALSE")> {};
struct k_re : key<TAO_PEGTL_ISTRING("RE")> {};
struct k_fe : key<TAO_PEGTL_ISTRING("FE")> {};
struct k_bool : key<TAO_PEGTL_ISTRING("BOOL")> {};
struct k_int : key<TAO_PEGTL_ISTRING("INT")> {};
struct k_time : key<TAO_PEGTL_ISTRING("TIME")> {};
struct keyword
    : sor<k_program, k_end_program, k_initial_step, k_step, k_end_step, k_transition, k_from,
          k_to, k_end_transition, k_action, k_end_action, k_var, k_end_var, k_and, k_or, k_xor,
          k_not, k_mod, k_true, k_false, k_re, k_fe, k_bool, k_int, k_time> {};
struct ident : seq<not_at<keyword>, identifier> {};

// Literals.
struct digits : seq<digit, star<opt<one<'_'>>, digit>> {};
struct int_lit : digits {};
struct time_unit : sor<TAO_PEGTL_ISTRING("ms"), one<'d', 'D', 'h', 'H', 'm', 'M', 's', 'S'>> {};
struct time_part : seq<digits, opt<one<'.'>, digits>, time_unit> {};
struct time_parts : plus<time_part> {};
struct time_lit : seq<sor<TAO_PEGTL_ISTRING("TIME"), one<'T', 't'>>, one<'#'>, must<time_parts>,
                      not_at<identifier_other>> {};
struct true_lit : k_true {};
struct false_lit : k_false {};

// Expressions, from the tightest binding to the loosest.
struct expression;
struct paren_close : one<')'> {};
struct paren : seq<one<'('>, ws, must<expression>, ws, must<paren_close>> {};
struct re_call : seq<k_re, ws, must<one<'('>>, ws, must<expression>, ws, must<paren_close>> {};
struct fe_call : seq<k_fe, ws, must<one<'('>>, ws, must<expression>, ws, must<paren_close>> {};
struct step_flag : sor<seq<one<'X', 'x'>, not_at<identifier_other>>, seq<one<'T', 't'>, not_at<identifier_other>>> {};
struct step_attr : seq<ident, one<'.'>, must<step_flag>> {};
struct name_ref : ident {};
struct primary
    : sor<paren, time_lit, true_lit, false_lit, int_lit, re_call, fe_call, step_attr, name_ref> {};
struct unary;
struct operand : sor<unary> {};
struct not_op : seq<k_not, ws, must<operand>> {};
struct neg_op : seq<one<'-'>, ws, must<operand>> {};
struct unary : sor<not_op, neg_op, primary> {};

struct mul_sign : sor<one<'*'>, one<'/'>, k_mod> {};
struct mul_operand : unary {};
struct mul_tail : seq<ws, mul_sign, ws, must<mul_operand>> {};
struct mul_expr : seq<unary, star<mul_tail>> {};
struct add_sign : one<'+', '-'> {};
struct add_operand : mul_expr {};
struct add_tail : seq<ws, add_sign, ws, must<add_operand>> {};
struct add_expr : seq<mul_expr, star<add_tail>> {};
struct cmp_sign : sor<string<'<', '='>, string<'>', '='>, string<'<', '>'>, one<'<'>, one<'>'>,
                      one<'='>> {};
struct cmp_operand : add_expr {};
struct cmp_tail : seq<ws, cmp_sign, ws, must<cmp_operand>> {};
struct cmp_expr : seq<add_expr, opt<cmp_tail>> {};
struct and_sign : sor<k_and, one<'&'>> {};
struct and_operand : cmp_expr {};
struct and_tail : seq<ws, and_sign, ws, must<and_operand>> {};
struct and_expr : seq<cmp_expr, star<and_tail>> {};
struct xor_operand : and_expr {};
struct xor_tail : seq<ws, k_xor, ws, must<xor_operand>> {};
struct xor_expr : seq<and_expr, star<xor_tail>> {};
struct or_operand : xor_expr {};
struct or_tail : seq<ws, k_or, ws, must<or_operand>> {};
struct expression : seq<xor_expr, star<or_tail>> {};

struct semicolon : one<';'> {};
struct assign_sign : string<':', '='> {};
struct colon : one<':'> {};

// VAR a, b : INT := 5; END_VAR
struct var_name : ident {};
struct var_type : sor<k_bool, k_int, k_time> {};
struct var_value : sor<time_lit, true_lit, false_lit, seq<opt<one<'-'>>, int_lit>> {};
struct var_init : seq<assign_sign, ws, must<var_value>> {};
struct var_decl : seq<var_name, ws, star<one<','>, ws, must<var_name>, ws>, must<colon>, ws,
                      must<var_type>, ws, opt<var_init, ws>, must<semicolon>> {};
struct var_block : seq<k_var, ws, star<var_decl, ws>, must<k_end_var>> {};

// STEP Name: Target(Q[, T#d]); ... END_STEP
struct assoc_target : ident {};
struct qual_name : identifier {};
struct assoc_duration : seq<one<','>, ws, must<time_lit>> {};
struct assoc_open : one<'('> {};
struct assoc
    : seq<assoc_target, ws, must<assoc_open>, ws, opt<qual_name, ws, opt<assoc_duration, ws>>,
          must<paren_close>, ws, must<semicolon>> {};
struct initial_kw : k_initial_step {};
struct step_kw : k_step {};
struct step_name : ident {};
struct step_decl : seq<sor<initial_kw, step_kw>, ws, must<step_name>, ws, must<colon>, ws,
                       star<assoc, ws>, must<k_end_step>> {};

// TRANSITION [name] FROM a TO (b, c) := condition; END_TRANSITION
struct from_ref : ident {};
struct to_ref : ident {};
template <typename Ref>
struct step_set : sor<seq<one<'('>, ws, must<Ref>, ws, star<one<','>, ws, must<Ref>, ws>,
                          must<paren_close>>,
                      Ref> {};
struct from_set : step_set<from_ref> {};
struct to_set : step_set<to_ref> {};
struct transition_kw : k_transition {};
struct transition_name : ident {};
struct condition : expression {};
struct transition_decl
    : seq<transition_kw, ws, opt<transition_name, ws>, must<k_from>, ws, must<from_set>, ws,
          must<k_to>, ws, must<to_set>, ws, must<assign_sign>, ws, must<condition>, ws,
          must<semicolon>, ws, must<k_end_transition>> {};

// ACTION Name: target := value; ... END_ACTION
struct action_name : ident {};
struct stmt_target : ident {};
struct stmt_value : expression {};
struct stmt : seq<stmt_target, ws, must<assign_sign>, ws, must<stmt_value>, ws, must<semicolon>> {};
struct action_decl : seq<k_action, ws, must<action_name>, ws, must<colon>, ws, star<stmt, ws>,
                         must<k_end_action>> {};

struct element : sor<var_block, step_decl, transition_decl, action_decl> {};
struct program_name : ident {};
struct end_of_text : eof {};
struct file : seq<ws, must<k_program>, ws, must<program_name>, ws, star<element, ws>,
                  must<k_end_program>, ws, must<end_of_text>> {};

// What a student reads when a rule that must match does not.
template <typename Rule>
inline constexpr const char* message = "syntax error";
template <> inline constexpr const char* message<block_rest> = "comment not closed by \"*)\"";
template <> inline constexpr const char* message<k_program> = "expected PROGRAM and the chart's name";
template <> inline constexpr const char* message<program_name> = "expected the program's name after PROGRAM";
template <> inline constexpr const char* message<k_end_program> =
    "expected STEP, INITIAL_STEP, TRANSITION, ACTION, VAR or END_PROGRAM";
template <> inline constexpr const char* message<end_of_text> = "unexpected text after END_PROGRAM";
template <> inline constexpr const char* message<step_name> = "expected the step's name";
template <> inline constexpr const char* message<colon> = "expected \":\"";
template <> inline constexpr const char* message<k_end_step> =
    "expected an action association such as \"Vi(N);\" or END_STEP";
template <> inline constexpr const char* message<assoc_open> =
    "expected \"(\" and a qualifier after the action's name, as in \"Vi(N);\"";
template <> inline constexpr const char* message<paren_close> = "expected \")\"";
template <> inline constexpr const char* message<semicolon> = "expected \";\"";
template <> inline constexpr const char* message<time_lit> = "expected a duration such as T#5s";
template <> inline constexpr const char* message<time_parts> =
    "expected a duration after \"#\", such as T#5s, T#1m30s or T#250ms";
template <> inline constexpr const char* message<k_from> = "expected FROM after TRANSITION";
template <> inline constexpr const char* message<from_ref> = "expected a step's name";
template <> inline constexpr const char* message<to_ref> = "expected a step's name";
template <> inline constexpr const char* message<from_set> = "expected a step's name or a list (a, b)";
template <> inline constexpr const char* message<to_set> = "expected a step's name or a list (a, b)";
template <> inline constexpr const char* message<k_to> = "expected TO";
template <> inline constexpr const char* message<assign_sign> = "expected \":=\"";
template <> inline constexpr const char* message<condition> = "expected a condition";
template <> inline constexpr const char* message<k_end_transition> = "expected END_TRANSITION";
template <> inline constexpr const char* message<action_name> = "expected the action's name";
template <> inline constexpr const char* message<stmt_value> = "expected an expression";
template <> inline constexpr const char* message<k_end_action> =
    "expected an assignment such as \"Vi := NOT Niv;\" or END_ACTION";
template <> inline constexpr const char* message<var_name> = "expected a variable's name";
template <> inline constexpr const char* message<var_type> = "expected a type: BOOL, INT or TIME";
template <> inline constexpr const char* message<var_value> = "expected a constant value";
template <> inline constexpr const char* message<k_end_var> =
    "expected a declaration such as \"n : INT;\" or END_VAR";
template <> inline constexpr const char* message<expression> = "expected an expression";
template <> inline constexpr const char* message<operand> = "expected an operand";
template <> inline constexpr const char* message<mul_operand> = "expected an operand";
template <> inline constexpr const char* message<add_operand> = "expected an operand";
template <> inline constexpr const char* message<cmp_operand> = "expected an operand";
template <> inline constexpr const char* message<and_operand> = "expected an operand";
template <> inline constexpr const char* message<xor_operand> = "expected an operand";
template <> inline constexpr const char* message<or_operand> = "expected an operand";
template <> inline constexpr const char* message<step_flag> = "expected X or T after \".\"";
template <> inline constexpr const char* message<one<'('>> = "expected \"(\"";

template <typename Rule>
struct control : normal<Rule> {
  template <typename Input, typename... States>
  [[noreturn]] static void raise(const Input& in, States&&...) {
    throw parse_error(message<Rule>, in);
  }
};

// An unclosed comment is reported where it opens, not at the end of the
// text where the search for its end gave up.
template <>
struct control<block_comment> : normal<block_comment> {
  template <typename Input, typename State>
  static void start(const Input& in, State& s) {
    s.comment_start = in.position();
  }
};
template <>
struct control<block_rest> : normal<block_rest> {
  template <typename Input, typename State>
  [[noreturn]] static void raise(const Input&, State& s) {
    throw parse_error(message<block_rest>, s.comment_start);
  }
};

// Operands nest through parentheses and NOT: the parser recurses once per
// level, so the nesting is bounded before it can exhaust the stack.
template <>
struct control<unary> : normal<unary> {
  template <typename Input, typename State>
  static void start(const Input& in, State& s) {
    if (++s.depth > max_expr_depth) throw parse_error("expression nested too deeply", in);
  }
  template <typename Input, typename State>
  static void success(const Input&, State& s) { --s.depth; }
  template <typename Input, typename State>
  static void failure(const Input&, State& s) { --s.depth; }
};

}  // namespace grammar

// What the actions build as they go.
struct build_state {
  chart c;
  std::vector<expr> stack;
  std::vector<std::pair<expr::op, source_pos>> ops;
  step cur_step;
  association cur_assoc;
  transition cur_tr;
  action_block cur_action;
  std::string cur_target;
  source_pos cur_target_pos;
  std::vector<std::pair<std::string, source_pos>> var_names;
  var_type cur_type = var_type::BOOL;
  bool has_init = false;
  int depth = 0;  // operands being parsed, one inside the other
  pg::position comment_start{0, 1, 1, "chart"};
};

template <typename Input>
source_pos pos_of(const Input& in) {
  const auto p = in.position();
  return {static_cast<int>(p.line), static_cast<int>(p.column)};
}

expr pop(build_state& s) {
  expr e = std::move(s.stack.back());
  s.stack.pop_back();
  return e;
}

void push_binary(build_state& s) {
  expr rhs = pop(s), lhs = pop(s);
  expr e;
  e.kind = s.ops.back().first;
  e.pos = s.ops.back().second;
  s.ops.pop_back();
  e.depth = 1 + std::max(lhs.depth, rhs.depth);
  if (e.depth > max_expr_depth) throw action_fault{{e.pos, "expression too long"}};
  e.args.push_back(std::move(lhs));
  e.args.push_back(std::move(rhs));
  s.stack.push_back(std::move(e));
}

void push_unary(build_state& s, expr::op k, source_pos pos) {
  expr e;
  e.kind = k;
  e.pos = pos;
  e.args.push_back(pop(s));
  e.depth = 1 + e.args[0].depth;
  if (e.depth > max_expr_depth) throw action_fault{{pos, "expression nested too deeply"}};
  s.stack.push_back(std::move(e));
}

void push_constant(build_state& s, std::int64_t v, source_pos pos) {
  expr e;
  e.kind = expr::op::constant;
  e.value = v;
  e.pos = pos;
  s.stack.push_back(std::move(e));
}

std::int64_t to_integer(const std::string& text, source_pos pos) {
  std::int64_t v = 0;
  for (char c : text) {
    if (c == '_') continue;
    if (v > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10)
      throw action_fault{{pos, "number too large"}};
    v = v * 10 + (c - '0');
  }
  return v;
}

template <typename Rule>
struct action : pg::nothing<Rule> {};

#define SFC_ACTION(rule) \
  template <>            \
  struct action<grammar::rule>

SFC_ACTION(program_name) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.c.name = in.string();
    s.c.pos = pos_of(in);
  }
};
SFC_ACTION(int_lit) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    push_constant(s, to_integer(in.string(), pos_of(in)), pos_of(in));
  }
};
SFC_ACTION(time_lit) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    std::int64_t ms = 0;
    if (!parse_time_literal(in.string(), &ms)) throw action_fault{{pos_of(in), "duration too large"}};
    push_constant(s, ms, pos_of(in));
  }
};
SFC_ACTION(true_lit) {
  template <typename In>
  static void apply(const In& in, build_state& s) { push_constant(s, 1, pos_of(in)); }
};
SFC_ACTION(false_lit) {
  template <typename In>
  static void apply(const In& in, build_state& s) { push_constant(s, 0, pos_of(in)); }
};
SFC_ACTION(var_value) {
  // "-5": the sign is part of the constant.
  template <typename In>
  static void apply(const In& in, build_state& s) {
    if (!in.empty() && in.peek_char() == '-') s.stack.back().value = -s.stack.back().value;
  }
};
SFC_ACTION(name_ref) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    expr e;
    e.kind = expr::op::name;
    e.name = in.string();
    e.pos = pos_of(in);
    s.stack.push_back(std::move(e));
  }
};
SFC_ACTION(step_attr) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    const std::string text = in.string();
    expr e;
    e.name = text.substr(0, text.size() - 2);
    e.kind = std::toupper(static_cast<unsigned char>(text.back())) == 'X' ? expr::op::step_x
                                                                           : expr::op::step_t;
    e.pos = pos_of(in);
    s.stack.push_back(std::move(e));
  }
};
SFC_ACTION(not_op) {
  template <typename In>
  static void apply(const In& in, build_state& s) { push_unary(s, expr::op::not_, pos_of(in)); }
};
SFC_ACTION(neg_op) {
  template <typename In>
  static void apply(const In& in, build_state& s) { push_unary(s, expr::op::neg, pos_of(in)); }
};
SFC_ACTION(re_call) {
  template <typename In>
  static void apply(const In& in, build_state& s) { push_unary(s, expr::op::re, pos_of(in)); }
};
SFC_ACTION(fe_call) {
  template <typename In>
  static void apply(const In& in, build_state& s) { push_unary(s, expr::op::fe, pos_of(in)); }
};
SFC_ACTION(mul_sign) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    const char c = in.peek_char();
    s.ops.emplace_back(c == '*' ? expr::op::mul : c == '/' ? expr::op::div : expr::op::mod,
                       pos_of(in));
  }
};
SFC_ACTION(add_sign) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.ops.emplace_back(in.peek_char() == '+' ? expr::op::add : expr::op::sub, pos_of(in));
  }
};
SFC_ACTION(cmp_sign) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    const std::string t = in.string();
    expr::op k = t == "<=" ? expr::op::le
                 : t == ">=" ? expr::op::ge
                 : t == "<>" ? expr::op::ne
                 : t == "<"  ? expr::op::lt
                 : t == ">"  ? expr::op::gt
                             : expr::op::eq;
    s.ops.emplace_back(k, pos_of(in));
  }
};
SFC_ACTION(and_sign) {
  template <typename In>
  static void apply(const In& in, build_state& s) { s.ops.emplace_back(expr::op::and_, pos_of(in)); }
};
SFC_ACTION(k_xor) {
  template <typename In>
  static void apply(const In& in, build_state& s) { s.ops.emplace_back(expr::op::xor_, pos_of(in)); }
};
SFC_ACTION(k_or) {
  template <typename In>
  static void apply(const In& in, build_state& s) { s.ops.emplace_back(expr::op::or_, pos_of(in)); }
};
#define SFC_BINARY(rule)                                               \
  SFC_ACTION(rule) {                                                   \
    static void apply0(build_state& s) { push_binary(s); }             \
  }
SFC_BINARY(mul_tail);
SFC_BINARY(add_tail);
SFC_BINARY(cmp_tail);
SFC_BINARY(and_tail);
SFC_BINARY(xor_tail);
SFC_BINARY(or_tail);

// Variables.
SFC_ACTION(var_name) {
  template <typename In>
  static void apply(const In& in, build_state& s) { s.var_names.emplace_back(in.string(), pos_of(in)); }
};
SFC_ACTION(var_type) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(in.peek_char())));
    s.cur_type = c == 'B' ? var_type::BOOL : c == 'I' ? var_type::INT : var_type::TIME;
  }
};
SFC_ACTION(var_init) {
  static void apply0(build_state& s) { s.has_init = true; }
};
SFC_ACTION(var_decl) {
  static void apply0(build_state& s) {
    std::int64_t init = 0;
    if (s.has_init) init = pop(s).value;
    for (auto& n : s.var_names) s.c.variables.push_back({n.first, s.cur_type, init, n.second});
    s.var_names.clear();
    s.has_init = false;
  }
};

// Steps and their associations.
SFC_ACTION(initial_kw) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_step = step();
    s.cur_step.initial = true;
    s.cur_step.pos = pos_of(in);
  }
};
SFC_ACTION(step_kw) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_step = step();
    s.cur_step.pos = pos_of(in);
  }
};
SFC_ACTION(step_name) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_step.name = in.string();
    s.cur_step.pos = pos_of(in);
  }
};
SFC_ACTION(assoc_target) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_assoc = association();
    s.cur_assoc.target = in.string();
    s.cur_assoc.pos = pos_of(in);
  }
};
SFC_ACTION(qual_name) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    const std::string q = in.string();
    static const std::pair<const char*, qualifier> known[] = {
        {"N", qualifier::N}, {"S", qualifier::S}, {"R", qualifier::R},
        {"P", qualifier::P}, {"L", qualifier::L}, {"D", qualifier::D}};
    for (const auto& k : known) {
      if (q.size() == 1 && std::toupper(static_cast<unsigned char>(q[0])) == k.first[0]) {
        s.cur_assoc.qual = k.second;
        return;
      }
    }
    throw action_fault{{pos_of(in), "unknown qualifier \"" + q + "\" (N, S, R, P, L or D)"}};
  }
};
SFC_ACTION(assoc_duration) {
  static void apply0(build_state& s) { s.cur_assoc.duration_ms = pop(s).value; }
};
SFC_ACTION(assoc) {
  static void apply0(build_state& s) {
    association& a = s.cur_assoc;
    const bool timed = a.qual == qualifier::L || a.qual == qualifier::D;
    if (timed && a.duration_ms < 0)
      throw action_fault{{a.pos, std::string("qualifier ") + qualifier_name(a.qual) +
                                     " needs a duration, as in \"" + a.target + "(" +
                                     qualifier_name(a.qual) + ", T#5s);\""}};
    if (!timed && a.duration_ms >= 0)
      throw action_fault{{a.pos, std::string("qualifier ") + qualifier_name(a.qual) +
                                     " takes no duration (only L and D do)"}};
    s.cur_step.actions.push_back(a);
  }
};
SFC_ACTION(step_decl) {
  static void apply0(build_state& s) { s.c.steps.push_back(std::move(s.cur_step)); }
};

// Transitions.
SFC_ACTION(transition_kw) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_tr = transition();
    s.cur_tr.pos = pos_of(in);
  }
};
SFC_ACTION(from_ref) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_tr.from.push_back(in.string());
    s.cur_tr.from_pos.push_back(pos_of(in));
  }
};
SFC_ACTION(to_ref) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_tr.to.push_back(in.string());
    s.cur_tr.to_pos.push_back(pos_of(in));
  }
};
SFC_ACTION(transition_decl) {
  static void apply0(build_state& s) {
    s.cur_tr.condition = pop(s);
    s.c.transitions.push_back(std::move(s.cur_tr));
  }
};

// Action blocks.
SFC_ACTION(action_name) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_action = action_block();
    s.cur_action.name = in.string();
    s.cur_action.pos = pos_of(in);
  }
};
SFC_ACTION(stmt_target) {
  template <typename In>
  static void apply(const In& in, build_state& s) {
    s.cur_target = in.string();
    s.cur_target_pos = pos_of(in);
  }
};
SFC_ACTION(stmt) {
  static void apply0(build_state& s) {
    s.cur_action.body.push_back({s.cur_target, pop(s), s.cur_target_pos});
  }
};
SFC_ACTION(action_decl) {
  static void apply0(build_state& s) { s.c.actions.push_back(std::move(s.cur_action)); }
};

}  // namespace

bool parse_time_literal(const std::string& text, std::int64_t* ms) {
  // The runtime's literals read durations as the chart language writes them.
  plc::value v;
  if (!plc::parse_literal(text, &v) || v.t != plc::type::TIME) return false;
  *ms = v.i;
  return true;
}

bool read_chart(const std::string& text, chart* out, chart_error* error) {
  build_state s;
  pg::memory_input<> in(text, "chart");
  try {
    pg::parse<grammar::file, action, grammar::control>(in, s);
  } catch (const pg::parse_error& e) {
    const auto& p = e.positions().front();
    error->pos = {static_cast<int>(p.line), static_cast<int>(p.column)};
    error->message = std::string(e.message());
    return false;
  } catch (const action_fault& f) {
    *error = f.error;
    return false;
  }
  *out = std::move(s.c);
  return true;
}

}  // namespace sfc
