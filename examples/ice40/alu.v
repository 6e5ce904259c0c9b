// An 8-bit ALU with registered operands and result: add, subtract, and,
// or, xor, shift left, shift right and compare. `sda` is an open-drain
// line that the ALU pulls low while the result is zero and reads back as
// `seen`.
module alu_core (input [7:0] a, input [7:0] b, input [2:0] op, output reg [7:0] y,
                 output reg carry);
  always @* begin
    carry = 0;
    case (op)
      3'd0: {carry, y} = a + b;
      3'd1: {carry, y} = a - b;
      3'd2: y = a & b;
      3'd3: y = a | b;
      3'd4: y = a ^ b;
      3'd5: {carry, y} = {a, 1'b0};
      3'd6: {y, carry} = {1'b0, a};
      default: begin y = {7'b0, a < b}; carry = a == b; end
    endcase
  end
endmodule

module alu (input clk, input [7:0] a, input [7:0] b, input [2:0] op, output reg [7:0] y = 0,
            output reg carry = 0, output reg zero = 0, inout sda, output seen);
  reg [7:0] ra = 0, rb = 0;
  reg [2:0] rop = 0;
  wire [7:0] res;
  wire c;
  alu_core u_core (.a(ra), .b(rb), .op(rop), .y(res), .carry(c));
  always @(posedge clk) begin
    ra <= a;
    rb <= b;
    rop <= op;
    y <= res;
    carry <= c;
    zero <= res == 0;
  end
  assign sda = zero ? 1'b0 : 1'bz;
  assign seen = sda;
endmodule
